#include "formats/ffmpeg/ScriptSources.h"

#include "platform/UserDialogs.h"
#include "support/PeerDecoders.h"
#include "support/RecordedMessages.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

namespace {

struct SEntry {
    std::int32_t Start;
    std::int32_t End;
    QString Text;
    bool operator==(const SEntry&) const = default;
};

std::ostream& operator<<(std::ostream& out, const SEntry& entry)
{
    return out << entry.Start << "-" << entry.End << " " << entry.Text.toStdString();
}

std::vector<SEntry> Entries(CSimpleTextSubtitle& script)
{
    std::vector<SEntry> entries;
    for (int i = 0; i < static_cast<int>(script.entries.size()); ++i)
        entries.push_back({script.entries[i].start, script.entries[i].end, script.EntryText(i)});
    return entries;
}

class ScriptSourcesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Dir.isValid()); }

    QString Write(const QString& name, const QByteArray& bytes)
    {
        QFile file(Dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    QTemporaryDir Dir;
    CRecordedMessages Messages;
};

const QByteArray TwoCues = "1\n00:00:01,234 --> 00:00:02,500\nHello <i>world</i>\n\n"
                           "2\n00:00:03,000 --> 00:00:04,000\nSecond\n";

const QByteArray AssTrack = "[Script Info]\nScriptType: v4.00+\nPlayResX: 1280\nPlayResY: 720\n\n"
                            "[V4+ Styles]\nFormat: Name, Fontname, Fontsize, PrimaryColour, "
                            "SecondaryColour, OutlineColour, BackColour, Bold, Italic, Underline, "
                            "StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, "
                            "Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n"
                            "Style: Sign,DejaVu Sans,40,&H0000FFFF,&H000000FF,&H00000000,"
                            "&H00000000,0,0,0,0,100,100,0,0,1,2,0,8,11,12,13,1\n\n"
                            "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, "
                            "MarginV, Effect, Text\n"
                            "Dialogue: 1,0:00:00.50,0:00:02.00,Sign,Anna,0,0,30,,{\\an8}Up here\n";

}  // namespace

// Each format we added, as a few lines of its own, read by content: the
// reader, the times in milliseconds and the text with its line breaks.
TEST_F(ScriptSourcesTest, AddedFormats)
{
    const std::vector<SEntry> twoLines{{1000, 2500, "Hello\\Nthere"}, {3000, 4000, "Second"}};
    struct Case {
        const char* Name;
        QByteArray Text;
        const char* Reader;
        std::vector<SEntry> Entries;
    } cases[] = {
        {"a.vtt",
         "WEBVTT\n\n00:01.000 --> 00:02.500\nHello <b>there</b>\nline two\n\n"
         "00:00:03.000 --> 00:00:04.000 align:start\nSecond\n",
         "FFmpeg webvtt (webvtt)",
         {{1000, 2500, "Hello {\\b1}there{\\b0}\\Nline two"}, {3000, 4000, "Second"}}},
        // The content decides, not the name.
        {"webvtt.txt",
         "WEBVTT\n\n00:00:01.000 --> 00:00:02.500\nHello\nthere\n",
         "FFmpeg webvtt (webvtt)",
         {{1000, 2500, "Hello\\Nthere"}}},
        {"a.smi",
         "<SAMI>\n<BODY>\n<SYNC Start=1000><P Class=ENCC>Hello<br>there\n"
         "<SYNC Start=2500><P Class=ENCC>&nbsp;\n<SYNC Start=3000><P Class=ENCC>Second\n"
         "<SYNC Start=4000><P Class=ENCC>&nbsp;\n</BODY>\n</SAMI>\n",
         "FFmpeg sami (sami)", twoLines},
        // MPL2 counts tenths of a second; "/" starts an italic line.
        {"a.mpl",
         "[10][25]Hello|/there\n[30][40]Second\n",
         "FFmpeg mpl2 (mpl2)",
         {{1000, 2500, "Hello\\N{\\i1}there"}, {3000, 4000, "Second"}}},
        {"mpl2.txt", "[10][25]Hello|there\n[30][40]Second\n", "FFmpeg mpl2 (mpl2)", twoLines},
        // Lyrics lines last until the next one.
        {"a.lrc",
         "[ar:Someone]\n[00:01.00]Hello there\n[00:03.00]Second\n[00:04.00]\n",
         "FFmpeg lrc (text)",
         {{1000, 3000, "Hello there"}, {3000, 4000, "Second"}}},
        {"a.sbv", "0:00:01.000,0:00:02.500\nHello\nthere\n\n0:00:03.000,0:00:04.000\nSecond\n",
         "YouTube SBV", twoLines},
        {"a.ttml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<tt xmlns=\"http://www.w3.org/ns/ttml\" xmlns:ttp=\"http://www.w3.org/ns/ttml#parameter\""
         " ttp:tickRate=\"10000000\"><body><div>\n"
         "<p begin=\"10000000t\" end=\"25000000t\">Hello<br/>there</p>\n"
         "<p begin=\"3s\" dur=\"1000ms\"><span>Second</span></p>\n</div></body></tt>\n",
         "XML timed text", twoLines},
        // Clock times with frames count at the document's frame rate.
        {"a.dfxp",
         "<tt xmlns=\"http://www.w3.org/2006/10/ttaf1\" xmlns:ttp=\"http://www.w3.org/2006/10/"
         "ttaf1#parameter\" ttp:frameRate=\"25\"><body><div>"
         "<p begin=\"00:00:01:00\" end=\"00:00:02:12\">Hello<br />\n   there</p>"
         "<p begin=\"00:00:03.000\" end=\"00:00:04.000\">Second</p></div></body></tt>",
         "XML timed text",
         {{1000, 2480, "Hello\\Nthere"}, {3000, 4000, "Second"}}},
        {"timedtext.xml",
         "<?xml version=\"1.0\" encoding=\"utf-8\" ?><transcript>\n"
         "<text start=\"1\" dur=\"1.5\">Hello\nthere</text>\n"
         "<text start=\"3.0\" dur=\"1\">Second</text></transcript>\n",
         "XML timed text",
         {{1000, 2500, "Hello there"}, {3000, 4000, "Second"}}},
    };
    for (const Case& c : cases) {
        CSimpleTextSubtitle script;
        const SScriptOpen opened = OpenSubtitleScript(script, Write(c.Name, c.Text));
        ASSERT_EQ(opened.failure, SScriptOpen::None)
            << c.Name << ": " << opened.error.toStdString();
        EXPECT_EQ(script.readerName, c.Reader) << c.Name;
        EXPECT_EQ(Entries(script), c.Entries) << c.Name;
        // A format without styles of its own gets the generated Default.
        EXPECT_TRUE(script.defaultStyleGenerated) << c.Name;
        EXPECT_EQ(script.name, QString(c.Name).section('.', 0, 0).toStdString()) << c.Name;
    }
    EXPECT_TRUE(Messages.Shown.empty());
}

// FFmpeg's decoders drop every line that is not UTF-8. A file in a code
// page keeps its bytes instead, for the style's character set to decode,
// as our own readers keep them.
TEST_F(ScriptSourcesTest, CodePageTextKeepsItsBytes)
{
    struct Case {
        const char* Name;
        QByteArray Text;
    } cases[] = {
        {"a.mpl", "[10][25]Caf\xe9 cr\xe8me\n"},
        {"a.smi", "<SAMI><BODY>\n<SYNC Start=1000><P Class=FRCC>Caf\xe9 cr\xe8me\n"
                  "<SYNC Start=2500><P Class=FRCC>&nbsp;\n</BODY></SAMI>\n"},
        {"a.vtt", "WEBVTT\n\n00:00:01.000 --> 00:00:02.500\nCaf\xe9 cr\xe8me\n"},
    };
    for (const Case& c : cases) {
        CSimpleTextSubtitle script;
        const SScriptOpen opened = OpenSubtitleScript(script, Write(c.Name, c.Text));
        ASSERT_EQ(opened.failure, SScriptOpen::None)
            << c.Name << ": " << opened.error.toStdString();
        EXPECT_EQ(script.sourceEncoding, Ascii) << c.Name;
        ASSERT_EQ(script.entries.size(), 1u) << c.Name;
        EXPECT_FALSE(script.entries[0].unicodeText) << c.Name;
        EXPECT_EQ(script.entries[0].text, QString::fromLatin1("Caf\xe9 cr\xe8me")) << c.Name;
        script.styles.at("Default")->charSet = 0;  // Western, Windows-1252
        EXPECT_EQ(script.EntryText(0), QString::fromUtf8("Caf\xc3\xa9 cr\xc3\xa8me")) << c.Name;
    }
    // UTF-8 stays Unicode text.
    CSimpleTextSubtitle script;
    ASSERT_EQ(OpenSubtitleScript(script, Write("u.mpl", "[10][25]Caf\xc3\xa9\n")).failure,
              SScriptOpen::None);
    EXPECT_EQ(script.sourceEncoding, Utf8);
    ASSERT_EQ(script.entries.size(), 1u);
    EXPECT_TRUE(script.entries[0].unicodeText);
    EXPECT_EQ(script.EntryText(0), QString::fromUtf8("Caf\xc3\xa9"));
}

// SubViewer's fractions are hundredths, SBV's thousandths: each keeps its
// reader, and an SBV block cut short is a syntax error, not another format.
TEST_F(ScriptSourcesTest, SbvAndSubViewerApart)
{
    CSimpleTextSubtitle script;
    ASSERT_EQ(
        OpenSubtitleScript(script, Write("sv.sub", "00:00:01.50,00:00:03.00\nHello\n")).failure,
        SScriptOpen::None);
    EXPECT_EQ(script.readerName, "SubViewer");
    EXPECT_EQ(Entries(script), (std::vector<SEntry>{{1500, 3000, "Hello"}}));

    const SScriptOpen broken = OpenSubtitleScript(
        script, Write("b.sbv", "0:00:01.000,0:00:02.000\nOne\n\n0:00:03.000\nTwo\n"));
    EXPECT_EQ(broken.failure, SScriptOpen::SyntaxError);
    EXPECT_EQ(Messages.Shown, std::vector<QString>{"Syntax error at line 4!\t"});
}

// What no reader takes, and what cannot be opened, fail without a word;
// the caller tells the user.
TEST_F(ScriptSourcesTest, FilesNothingTakes)
{
    std::mt19937 random(11);
    QByteArray noise(16 * 1024, 0);
    for (char& c : noise)
        c = static_cast<char>(random());
    struct Case {
        const char* Name;
        QString Path;
        SScriptOpen::EFailure Failure;
    } cases[] = {
        {"words", Write("words.txt", "just some words\n"), SScriptOpen::UnknownFormat},
        {"empty", Write("empty.srt", ""), SScriptOpen::UnknownFormat},
        {"noise", Write("noise.srt", noise), SScriptOpen::UnknownFormat},
        {"xml of another kind", Write("other.xml", "<html><p begin=\"1s\">x</p></html>"),
         SScriptOpen::UnknownFormat},
        // Scripts that would send FFmpeg to other files: never followed.
        {"concatenation script",
         [&] {
             Write("other.srt", TwoCues);
             return Write("list.txt", "ffconcat version 1.0\nfile 'other.srt'\n");
         }(),
         SScriptOpen::UnknownFormat},
        {"playlist",
         [&] {
             Write("other.vtt", "WEBVTT\n\n00:00:01.000 --> 00:00:02.000\nElsewhere\n");
             return Write("list.m3u8", "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\n"
                                       "other.vtt\n#EXT-X-ENDLIST\n");
         }(),
         SScriptOpen::UnknownFormat},
        {"missing", Dir.filePath("missing.srt"), SScriptOpen::CannotOpen},
        {"missing track file", Dir.filePath("missing.mkv#2"), SScriptOpen::CannotOpen},
    };
    for (const Case& c : cases) {
        CSimpleTextSubtitle script;
        const SScriptOpen opened = OpenSubtitleScript(script, c.Path);
        EXPECT_EQ(opened.failure, c.Failure) << c.Name;
        EXPECT_TRUE(script.entries.empty()) << c.Name;
    }
    EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(ScriptSourcesTest, TrackPaths)
{
    const QString movie = Write("movie.mkv", "x");
    const QString hashed = Write("take#2.srt", "x");
    struct Case {
        QString Path;
        QString File;
        int Track;
    } cases[] = {
        {movie, movie, -1},
        {movie + "#3", movie, 3},
        {movie + "#0", movie, 0},
        // A file whose own name holds the '#' is that file.
        {hashed, hashed, -1},
        {movie + "#x", movie + "#x", -1},
        {movie + "#", movie + "#", -1},
        {movie + "#-1", movie + "#-1", -1},
        {Dir.filePath("gone.mkv#1"), Dir.filePath("gone.mkv#1"), -1},
        {"http://example.org/a.mkv#1", "http://example.org/a.mkv#1", -1},
    };
    for (const Case& c : cases) {
        QString file;
        int track = 0;
        SplitTrackPath(c.Path, file, track);
        EXPECT_EQ(file, c.File) << c.Path.toStdString();
        EXPECT_EQ(track, c.Track) << c.Path.toStdString();
    }
}

TEST_F(ScriptSourcesTest, OpenDialogFilterOffersEveryFormat)
{
    const QList<SFileFilterEntry> entries = ParseFileFilter(SubtitleFileFilter());
    ASSERT_EQ(entries.size(), static_cast<qsizetype>(ScriptFormats().size() + 2));
    EXPECT_EQ(entries.front().label.left(15), "Subtitle files(");
    QStringList every;
    for (std::size_t i = 0; i < ScriptFormats().size(); ++i) {
        const SFileFilterEntry& entry = entries[static_cast<qsizetype>(i + 1)];
        EXPECT_EQ(entry.patterns.join(';'), ScriptFormats()[i].Patterns);
        every << entry.patterns;
    }
    EXPECT_EQ(entries.front().patterns, every);
    for (const char* pattern :
         {"*.srt", "*.ass", "*.ssa", "*.sub", "*.txt", "*.vtt", "*.smi", "*.mpl", "*.sbv", "*.ttml",
          "*.dfxp", "*.lrc", "*.mkv", "*.mp4", "*.webm"})
        EXPECT_TRUE(every.contains(pattern)) << pattern;
    EXPECT_EQ(entries.back(), (SFileFilterEntry{"All files(*.*)", {"*.*"}}));
}

// Text tracks of video files that ffmpeg makes for the test: a Matroska
// file with a SubRip and an SSA track, an MP4 with a mov_text track.
class VideoTracksTest : public ScriptSourcesTest {
protected:
    void SetUp() override
    {
        ScriptSourcesTest::SetUp();
        if (!HaveProgram("ffmpeg"))
            GTEST_SKIP() << "ffmpeg is not installed (scripts/deps installs it)";
        const QString srt = Write("subs.srt", TwoCues);
        const QString ass = Write("subs.ass", AssTrack);
        const QStringList video{"-nostdin", "-v",    "error", "-y",
                                "-f",       "lavfi", "-i",    "color=c=black:s=160x120:d=5"};
        Mkv = Dir.filePath("movie.mkv");
        const SProgramRun mkv = RunProgram("ffmpeg", video + QStringList{"-i",
                                                                         srt,
                                                                         "-i",
                                                                         ass,
                                                                         "-map",
                                                                         "0",
                                                                         "-map",
                                                                         "1",
                                                                         "-map",
                                                                         "2",
                                                                         "-c:v",
                                                                         "mjpeg",
                                                                         "-c:s:0",
                                                                         "srt",
                                                                         "-c:s:1",
                                                                         "ass",
                                                                         "-metadata:s:s:0",
                                                                         "language=eng",
                                                                         "-metadata:s:s:1",
                                                                         "language=fre",
                                                                         Mkv});
        ASSERT_TRUE(mkv.Ok()) << mkv.Errors.toStdString();
        Mp4 = Dir.filePath("movie.mp4");
        const SProgramRun mp4 =
            RunProgram("ffmpeg", video + QStringList{"-i", srt, "-map", "0", "-map", "1", "-c:v",
                                                     "mjpeg", "-c:s", "mov_text", Mp4});
        ASSERT_TRUE(mp4.Ok()) << mp4.Errors.toStdString();
    }

    QString Mkv;
    QString Mp4;
};

TEST_F(VideoTracksTest, FirstTrackOrTrackN)
{
    CSimpleTextSubtitle script;
    SScriptOpen opened = OpenSubtitleScript(script, Mkv);
    ASSERT_EQ(opened.failure, SScriptOpen::None) << opened.error.toStdString();
    EXPECT_TRUE(opened.media);
    EXPECT_TRUE(opened.fromMedia.container);
    ASSERT_EQ(opened.fromMedia.tracks.size(), 2u);
    EXPECT_EQ(opened.fromMedia.tracks[0].index, 1);
    EXPECT_EQ(opened.fromMedia.tracks[0].codec, "subrip");
    EXPECT_EQ(opened.fromMedia.tracks[0].language, "eng");
    EXPECT_EQ(opened.fromMedia.tracks[1].index, 2);
    EXPECT_EQ(opened.fromMedia.tracks[1].codec, "ass");
    EXPECT_EQ(opened.fromMedia.tracks[1].language, "fre");
    EXPECT_EQ(opened.fromMedia.chosen, 1);
    EXPECT_EQ(script.readerName, "FFmpeg matroska,webm (subrip)");
    // Milliseconds survive; SubRip's tags arrive as override tags.
    EXPECT_EQ(Entries(script), (std::vector<SEntry>{{1234, 2500, "Hello {\\i1}world{\\i0}"},
                                                    {3000, 4000, "Second"}}));
    EXPECT_EQ(script.path, Mkv.toStdString());
    EXPECT_EQ(script.name, "movie");

    // The SSA track brings the styles and play resolution of its header.
    opened = OpenSubtitleScript(script, Mkv + "#2");
    ASSERT_EQ(opened.failure, SScriptOpen::None) << opened.error.toStdString();
    EXPECT_EQ(opened.fromMedia.chosen, 2);
    EXPECT_EQ(script.scriptSize, (SSize{1280, 720}));
    ASSERT_EQ(script.entries.size(), 1u);
    const STSEntry& entry = script.entries[0];
    EXPECT_EQ(entry.style, "Sign");
    EXPECT_EQ(entry.actor, "Anna");
    EXPECT_EQ(entry.layer, 1);
    EXPECT_EQ(entry.margins, (SMargins{0, 30, 0, 30}));
    EXPECT_EQ(Entries(script), (std::vector<SEntry>{{500, 2000, "{\\an8}Up here"}}));
    ASSERT_TRUE(script.styles.count("Sign"));
    EXPECT_EQ(script.styles["Sign"]->fontName, "DejaVu Sans");
    EXPECT_EQ(script.styles["Sign"]->alignment, 8);
    EXPECT_EQ(script.styles["Sign"]->margins, (SMargins{11, 13, 12, 13}));

    opened = OpenSubtitleScript(script, Mp4);
    ASSERT_EQ(opened.failure, SScriptOpen::None) << opened.error.toStdString();
    EXPECT_EQ(opened.fromMedia.tracks.size(), 1u);
    EXPECT_EQ(opened.fromMedia.tracks[0].codec, "mov_text");
    EXPECT_EQ(script.entries.size(), 2u);
    EXPECT_EQ(Entries(script).back(), (SEntry{3000, 4000, "Second"}));
    EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(VideoTracksTest, TracksThatCannotBeRead)
{
    QFile whole(Mkv);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    std::mt19937 random(3);
    QByteArray noise(8192, 0);
    for (char& c : noise)
        c = static_cast<char>(random());
    struct Case {
        const char* Name;
        QString Path;
        QString Error;  // FFmpeg's own words follow some of ours
    } cases[] = {
        {"no such stream", Mkv + "#9", "No text subtitle track #9! "},
        {"the video stream", Mkv + "#0", "Stream #0 is not a text subtitle track! "},
        {"no text track",
         [&] {
             const QString path = Dir.filePath("silent.mkv");
             EXPECT_TRUE(RunProgram("ffmpeg", {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                                               "color=s=64x48:d=1", "-c:v", "mjpeg", path})
                             .Ok());
             return path;
         }(),
         "No text subtitle track! "},
        {"cut short", Write("cut.mkv", bytes.left(bytes.size() - 400)),
         "The file is damaged or cut short: "},
        {"cut in its header", Write("head.mkv", bytes.left(100)), "The file cannot be read: "},
        {"noise after the Matroska mark", Write("noise.mkv", "\x1a\x45\xdf\xa3" + noise),
         "The file cannot be read: "},
        // FFmpeg takes what it can of an AVI file.
        {"noise after an AVI header",
         Write("noise.avi", QByteArray("RIFF\x10\0\0\0AVI LIST", 16) + noise),
         "No text subtitle track! "},
    };
    for (const Case& c : cases) {
        CSimpleTextSubtitle script;
        const SScriptOpen opened = OpenSubtitleScript(script, c.Path);
        EXPECT_EQ(opened.failure, SScriptOpen::MediaError) << c.Name;
        EXPECT_TRUE(opened.error.startsWith(c.Error))
            << c.Name << ": " << opened.error.toStdString();
        EXPECT_TRUE(script.entries.empty()) << c.Name;
    }
    EXPECT_TRUE(Messages.Shown.empty());
}

// A plain file named like a track opens as itself.
TEST_F(VideoTracksTest, HashInAFileName)
{
    const QString plain = Write("movie.mkv#1", TwoCues);
    CSimpleTextSubtitle script;
    const SScriptOpen opened = OpenSubtitleScript(script, plain);
    ASSERT_EQ(opened.failure, SScriptOpen::None);
    EXPECT_FALSE(opened.media);
    EXPECT_EQ(script.readerName, "SubRip");
    EXPECT_EQ(opened.file, plain);
}

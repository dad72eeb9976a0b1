#include "cli/Commands.h"

#include "support/PeerDecoders.h"
#include "support/RecordedMessages.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sstream>

namespace {

struct SResult {
    int Status;
    std::string Out;
    std::string Err;
};

SResult Script(const QString& path)
{
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCommandLine({"script", path}, out, err);
    return {status, out.str(), err.str()};
}

QString Write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return file.fileName();
}

}  // namespace

TEST(ScriptCommand, PrintsWhatWasRead)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = Write(dir, "movie.srt",
                               "\xef\xbb\xbf"
                               "1\n00:00:01,000 --> 00:00:03,500\nHello\nworld\n\n"
                               "2\n01:02:03,004 --> 01:02:04,000\nBye\n");
    const SResult result = Script(path);
    ASSERT_EQ(result.Status, 0) << result.Err;
    EXPECT_EQ(result.Out, "reader: SubRip\n"
                          "timing: milliseconds\n"
                          "encoding: UTF-8\n"
                          "script size: 0 x 0\n"
                          "styles: 1\n"
                          "  Default: font \"Arial\", size 24, weight 700, italic no, alignment 2, "
                          "margins 20,20,20,20, charset 1\n"
                          "entries: 2\n"
                          "  1  00:00:01.000 --> 00:00:03.500  Default  Hello\\Nworld\n"
                          "  2  01:02:03.004 --> 01:02:04.000  Default  Bye\n");
}

TEST(ScriptCommand, FramesAndFailures)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const SResult frames = Script(Write(dir, "a.sub", "{25}{50}Hello\n"));
    ASSERT_EQ(frames.Status, 0) << frames.Err;
    EXPECT_NE(frames.Out.find("timing: frames\n"), std::string::npos) << frames.Out;
    EXPECT_NE(frames.Out.find("  1  frame 25 --> frame 50  Default  Hello\n"), std::string::npos)
        << frames.Out;

    const QString unknown = Write(dir, "words.txt", "nothing that any reader takes\n");
    const SResult none = Script(unknown);
    EXPECT_EQ(none.Status, 2);
    EXPECT_EQ(none.Err,
              "tandeo script: " + unknown.toStdString() + ": Unknown subtitle format! \n");

    CRecordedMessages messages;
    QByteArray broken;
    for (int i = 1; i <= 3; ++i)
        broken += QByteArray::number(i) + "\n00:00:0" + QByteArray::number(i) + ",000 --> 00:00:0" +
                  QByteArray::number(i) + ",500\nText\n\n";
    broken += "4\nnot a time\n";
    const SResult damaged = Script(Write(dir, "damaged.srt", broken));
    EXPECT_EQ(damaged.Status, 0);
    EXPECT_NE(damaged.Out.find("entries: 3\n"), std::string::npos) << damaged.Out;
    EXPECT_EQ(messages.Shown, std::vector<QString>{"line 14: skipped, no valid time"});

    messages.Shown.clear();
    const SResult syntax = Script(
        Write(dir, "broken.ass",
              "[Script Info]\n[Events]\n"
              "Dialogue: Marked=0,0:00:01.00,0:00:02.00,Default,,0,0,0,,a\n[Script Info]\n"));
    EXPECT_EQ(syntax.Status, 2);
    EXPECT_EQ(messages.Shown, std::vector<QString>{"Syntax error at line 4!\t"});
}

namespace {

const QString RealWorld = QStringLiteral(TANDEO_FIXTURES_DIR "/realworld/");

// The first entry's text of a real file, as counted without us.
std::string ExpectedFirstText(const QString& path)
{
    QFile table(RealWorld + "expected.tsv");
    EXPECT_TRUE(table.open(QIODevice::ReadOnly));
    while (!table.atEnd()) {
        const QList<QByteArray> fields = table.readLine().trimmed().split('\t');
        if (fields.size() >= 7 && fields[0] == path.toUtf8())
            return fields[6].toStdString();
    }
    ADD_FAILURE() << "no expected entry for " << path.toStdString();
    return {};
}

std::string LineStarting(const std::string& out, const std::string& start)
{
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(start, 0) == 0)
            return line;
    }
    return {};
}

}  // namespace

TEST(ScriptCommand, RecognisesTheCodePageOfLegacyFiles)
{
    const struct {
        const char* Path;
        const char* Charset;
        int CodePage;
    } cases[] = {
        {"aspasia/gbk.srt", "GB18030", 936},
        {"JuvoPlayer/media_player_subs_gb2312.srt", "GB18030", 936},
        {"JuvoPlayer/media_player_subs_big5.srt", "BIG5", 950},
        {"SubtitlesParser/jPod.S01E01.HDTV.XviD-2HD.srt", "WINDOWS-1251", 1251},
        {"SubtitlesParser/Salvage.SRT", "WINDOWS-1256", 1256},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        const SResult result = Script(RealWorld + c.Path);
        ASSERT_EQ(result.Status, 0) << result.Err;
        // uchardet 0.0.8 and later also say how sure they are.
        const std::string encoding = LineStarting(result.Out, "encoding: ");
        EXPECT_EQ(encoding.rfind(std::string("encoding: ") + c.Charset + " (detected", 0), 0u)
            << encoding;
        EXPECT_TRUE(encoding.ends_with(", code page " + std::to_string(c.CodePage) + ")"))
            << encoding;
        EXPECT_EQ(LineStarting(result.Out, "     decoded: "),
                  "     decoded: " + ExpectedFirstText(c.Path));
    }
}

TEST(ScriptCommand, ShiftJisKeepsItsSecondBytesOutOfTheMarkup)
{
    // "ポ" is 83 7C in Shift-JIS: its second byte is a "|" that must not
    // break the line.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = Write(
        dir, "ja.srt",
        "1\r\n00:00:01,000 --> 00:00:03,000\r\n"
        "\x82\xB1\x82\xEA\x82\xCD\x93\xFA\x96{\x8C\xEA\x82\xCC\x8E\x9A\x96\x8B\x82\xC5\x82\xB7\x81"
        "B\r\n\r\n"
        "2\r\n00:00:04,000 --> 00:00:06,000\r\n"
        "\x8D\xA1\x93\xFA\x82\xCD\x82\xC6\x82\xC4\x82\xE0\x82\xA2\x82\xA2\x93V\x8B"
        "C\x82\xC5\x82\xB7\x82\xCB\x81"
        "B\r\n\r\n"
        "3\r\n00:00:07,000 --> 00:00:09,000\r\n"
        "\x83|\x83\x62\x83v|\x96\xBE\x93\xFA\x82\xDC\x82\xBD\x89\xEF\x82\xA2\x82\xDC\x82\xB5\x82"
        "\xE5\x82\xA4\x81"
        "B\r\n");
    const SResult result = Script(path);
    ASSERT_EQ(result.Status, 0) << result.Err;
    const std::string encoding = LineStarting(result.Out, "encoding: ");
    EXPECT_EQ(encoding.rfind("encoding: SHIFT_JIS (detected", 0), 0u) << encoding;
    EXPECT_NE(result.Out.find("     decoded: これは日本語の字幕です。\n"), std::string::npos)
        << result.Out;
    EXPECT_NE(result.Out.find("     decoded: ポップ\\N明日また会いましょう。\n"), std::string::npos)
        << result.Out;
}

TEST(ScriptCommand, TellsHowTheBytesWereRead)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray block = "1\n00:00:01,000 --> 00:00:02,000\n";
    const struct {
        const char* Name;
        QStringList Args;
        std::string Encoding;
        std::string Decoded;
    } cases[] = {
        {"ASCII",
         {Write(dir, "a.srt", block + "plain\n")},
         "encoding: ASCII",
         "     decoded: plain"},
        {"UTF-8 without a mark",
         {Write(dir, "u.srt", block + "caf\xC3\xA9\n")},
         "encoding: UTF-8 (no byte order mark)",
         "     decoded: café"},
        {"the user's code page over the detector",
         {"--code-page", "1252", RealWorld + "aspasia/gbk.srt"},
         "encoding: code page 1252 (--code-page)",
         "     decoded: ÕâÊÇÖÐÎÄ"},
        {"the user's code page over UTF-8",
         {"--code-page", "1251", Write(dir, "c.srt", block + "caf\xC3\xA9\n")},
         "encoding: code page 1251 (--code-page)",
         "     decoded: cafГ©"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::ostringstream out;
        std::ostringstream err;
        ASSERT_EQ(RunCommandLine(QStringList{"script"} + c.Args, out, err), 0) << err.str();
        EXPECT_EQ(LineStarting(out.str(), "encoding: "), c.Encoding);
        EXPECT_EQ(LineStarting(out.str(), "     decoded: "), c.Decoded);
    }
    // The choice lasts for one command only.
    const SResult after = Script(RealWorld + "aspasia/gbk.srt");
    EXPECT_EQ(LineStarting(after.Out, "     decoded: "), "     decoded: 这是中文");

    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunCommandLine({"script", "--code-page", "0", "x.srt"}, out, err), 1);
    EXPECT_EQ(err.str(), "tandeo script: unknown code page 0 (a Windows code page number such as "
                         "936, 950, 932, 1251 or 1256)\n");
}

// A video file made by ffmpeg: its text tracks first (index as ffprobe
// numbers the streams, codec, language), then the entries of the one read.
TEST(ScriptCommand, TextTracksOfAVideoFile)
{
    if (!HaveProgram("ffmpeg"))
        GTEST_SKIP() << "ffmpeg is not installed (scripts/deps installs it)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString srt = Write(dir, "subs.srt",
                              "1\n00:00:01,000 --> 00:00:02,500\nFirst\n\n"
                              "2\n00:00:03,000 --> 00:00:04,000\nSecond\n");
    const QString mkv = dir.filePath("movie.mkv");
    const SProgramRun made = RunProgram("ffmpeg", {"-nostdin",
                                                   "-v",
                                                   "error",
                                                   "-y",
                                                   "-f",
                                                   "lavfi",
                                                   "-i",
                                                   "color=c=black:s=160x120:d=5",
                                                   "-i",
                                                   srt,
                                                   "-i",
                                                   srt,
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
                                                   mkv});
    ASSERT_TRUE(made.Ok()) << made.Errors.toStdString();

    const SResult first = Script(mkv);
    ASSERT_EQ(first.Status, 0) << first.Err;
    EXPECT_EQ(first.Out, "tracks: 2\n"
                         "  #1  subrip  eng  (read)\n"
                         "  #2  ass  und\n"
                         "reader: FFmpeg matroska,webm (subrip)\n"
                         "timing: milliseconds\n"
                         "encoding: UTF-8\n"
                         "script size: 0 x 0\n"
                         "styles: 1\n"
                         "  Default: font \"Arial\", size 24, weight 700, italic no, alignment 2, "
                         "margins 20,20,20,20, charset 1\n"
                         "entries: 2\n"
                         "  1  00:00:01.000 --> 00:00:02.500  Default  First\n"
                         "  2  00:00:03.000 --> 00:00:04.000  Default  Second\n");

    const SResult second = Script(mkv + "#2");
    ASSERT_EQ(second.Status, 0) << second.Err;
    EXPECT_EQ(second.Out.rfind("tracks: 2\n  #1  subrip  eng\n  #2  ass  und  (read)\n"
                               "reader: FFmpeg matroska,webm (ass)\n",
                               0),
              0u)
        << second.Out;

    struct Case {
        QString Path;
        std::string Error;
    } failures[] = {
        {mkv + "#7", "No text subtitle track #7! "},
        {mkv + "#0", "Stream #0 is not a text subtitle track! "},
    };
    for (const Case& c : failures) {
        const SResult failed = Script(c.Path);
        EXPECT_EQ(failed.Status, 2) << c.Error;
        EXPECT_EQ(failed.Err, "tandeo script: " + c.Path.toStdString() + ": " + c.Error + "\n");
        EXPECT_TRUE(failed.Out.empty());
    }

    // Cut short: the lines that are left are not passed off as the whole.
    QFile whole(mkv);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QString cut = Write(dir, "cut.mkv", whole.readAll().chopped(300));
    const SResult truncated = Script(cut);
    EXPECT_EQ(truncated.Status, 2);
    // FFmpeg's own words about the cut follow ours.
    EXPECT_EQ(truncated.Err.rfind("tandeo script: " + cut.toStdString() +
                                      ": The file is damaged or cut short: ",
                                  0),
              0u)
        << truncated.Err;
}

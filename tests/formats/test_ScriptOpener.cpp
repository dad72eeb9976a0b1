#include "formats/Readers.h"
#include "formats/SimpleTextSubtitle.h"

#include "support/RecordedMessages.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace {

class ScriptOpenerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Dir.isValid()); }

    QString Write(const QString& name, const QByteArray& bytes)
    {
        const QString path = Dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QTemporaryDir Dir;
    CRecordedMessages Messages;
};

QByteArray SubRipBlocks(int count)
{
    QByteArray text;
    for (int i = 1; i <= count; ++i) {
        text += QByteArray::number(i) + "\n";
        text += QString::asprintf("00:00:%02d,000 --> 00:00:%02d,500\n", i, i).toLatin1();
        text += "Line " + QByteArray::number(i) + "\n\n";
    }
    return text;
}

const QByteArray SsaScript = "[Script Info]\n"
                             "ScriptType: v4.00+\n"
                             "PlayResX: 640\n"
                             "PlayResY: 480\n"
                             "\n"
                             "[V4+ Styles]\n"
                             "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, "
                             "OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, "
                             "ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, "
                             "Alignment, MarginL, MarginR, MarginV, Encoding\n"
                             "Style: Default,Arial,20,&H00FFFFFF,&H000000FF,&H00000000,&H00000000,"
                             "0,0,0,0,100,100,0,0,1,2,2,2,10,10,10,1\n"
                             "\n"
                             "[Events]\n"
                             "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, "
                             "Effect, Text\n";

QByteArray Dialogue(const char* start, const char* end, const char* style, const char* text)
{
    return QByteArray("Dialogue: 0,") + start + "," + end + "," + style + ",,0,0,0,," + text + "\n";
}

}  // namespace

TEST_F(ScriptOpenerTest, ReadersByContent)
{
    struct Case {
        const char* Name;
        QByteArray Text;
        const char* Reader;
        ETimingMode Timing;
        std::size_t Entries;
    } cases[] = {
        {"SubRip", SubRipBlocks(3), "SubRip", Milliseconds, 3},
        {"SubStation", SsaScript + Dialogue("0:00:01.00", "0:00:02.00", "Default", "Hi"),
         "SubStation Alpha", Milliseconds, 1},
        {"SubStation without lines", SsaScript, "SubStation Alpha", Milliseconds, 0},
        {"MicroDVD", "{25}{50}First line\n{75}{100}Second|line\n", "MicroDVD", Frames, 2},
    };
    for (const Case& c : cases) {
        CSimpleTextSubtitle script;
        ASSERT_TRUE(script.OpenScriptFile(Write("script.txt", c.Text), 1, "")) << c.Name;
        EXPECT_EQ(script.readerName, c.Reader) << c.Name;
        EXPECT_EQ(script.timingMode, c.Timing) << c.Name;
        EXPECT_EQ(script.entries.size(), c.Entries) << c.Name;
        EXPECT_TRUE(Messages.Shown.empty()) << c.Name;
        EXPECT_EQ(script.name, "script") << c.Name;
    }
}

TEST_F(ScriptOpenerTest, SyntaxErrorAfterEntriesStopsTheSearch)
{
    // A second script-info header is not a damaged line the reader can
    // leave out: the whole file is refused.
    const QByteArray text = "[Script Info]\nScriptType: v4.00+\n[Events]\n"
                            "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,a\n"
                            "[Script Info]\n";
    CSimpleTextSubtitle script;
    EXPECT_FALSE(script.OpenScriptFile(Write("broken.ass", text), 1, ""));
    EXPECT_EQ(Messages.Shown, std::vector<QString>{"Syntax error at line 5!\t"});
    EXPECT_EQ(Messages.Kinds, std::vector<EMessageKind>{EMessageKind::Error});
    EXPECT_TRUE(script.entries.empty());
}

TEST_F(ScriptOpenerTest, DamagedBlocksAreLeftOutWithOneWarning)
{
    const QByteArray text = SubRipBlocks(10) + "11\n00:00:05,000 -> 00:00:06,000\nmore\n\n" +
                            "12\n00:00:07 ==> x\nlost\n\n" +
                            "13\n-00:00:01,000 --> 00:00:09,000\nearly\n";
    CSimpleTextSubtitle script;
    ASSERT_TRUE(script.OpenScriptFile(Write("damaged.srt", text), 1, ""));
    EXPECT_EQ(script.readerName, "SubRip");
    ASSERT_EQ(script.entries.size(), 12u);
    EXPECT_EQ(script.entries[10].text, "more");
    EXPECT_EQ(script.entries[11].start, 0);
    EXPECT_EQ(Messages.Shown, std::vector<QString>{"line 46: skipped, no valid time\n"
                                                   "line 50: negative time clamped to 0"});
    EXPECT_EQ(Messages.Kinds, std::vector<EMessageKind>{EMessageKind::Warning});
}

TEST_F(ScriptOpenerTest, FilesNoReaderTakes)
{
    for (const QByteArray& text : {QByteArray(), QByteArray("just some words\nand more\n")}) {
        CSimpleTextSubtitle script;
        EXPECT_FALSE(script.OpenScriptFile(Write("none.txt", text), 1, ""));
        EXPECT_TRUE(Messages.Shown.empty());
    }
    CSimpleTextSubtitle script;
    EXPECT_FALSE(script.OpenScriptFile(Dir.filePath("missing.srt"), 1, ""));
}

TEST_F(ScriptOpenerTest, DefaultStyleNameAndSource)
{
    CSimpleTextSubtitle script;
    const QString path = Write("movie.en.srt", SubRipBlocks(2));
    ASSERT_TRUE(script.OpenScriptFile(path, 134, ""));
    EXPECT_EQ(script.name, "en");
    EXPECT_EQ(script.path, path.toStdString());
    EXPECT_EQ(script.sourceEncoding, Ascii);
    ASSERT_EQ(script.styles.size(), 1u);
    EXPECT_EQ(script.styles.at("Default")->charSet, 134);
    EXPECT_TRUE(script.defaultStyleGenerated);

    ASSERT_TRUE(script.OpenScriptFile(path, 1, "given"));
    EXPECT_EQ(script.name, "given");
}

TEST_F(ScriptOpenerTest, StyleSideFileJoinsTheScript)
{
    const QByteArray own = SsaScript + Dialogue("0:00:01.00", "0:00:02.00", "Default", "own");
    const QString path = Write("movie.ass", own);
    Write("movie.ass.style",
          "[V4+ Styles]\n"
          "Style: Default,Side Font,30,&H00FFFFFF,&H000000FF,&H00000000,&H00000000,"
          "0,0,0,0,100,100,0,0,1,2,2,2,10,10,10,1\n"
          "[Events]\n" +
              Dialogue("0:00:03.00", "0:00:04.00", "Default", "from the side"));
    CSimpleTextSubtitle script;
    ASSERT_TRUE(script.OpenScriptFile(path, 1, ""));
    EXPECT_EQ(script.styles.at("Default")->fontName, "Side Font");
    EXPECT_EQ(script.styles.at("Default2")->fontName, "Arial");
    ASSERT_EQ(script.entries.size(), 2u);
    EXPECT_EQ(script.entries[0].style, "Default2");
    EXPECT_EQ(script.entries[1].style, "Default");
    EXPECT_FALSE(script.defaultStyleGenerated);
}

TEST_F(ScriptOpenerTest, MissingStylesWarnOncePerName)
{
    const QByteArray text = SsaScript + Dialogue("0:00:01.00", "0:00:02.00", "Sign", "a") +
                            Dialogue("0:00:03.00", "0:00:04.00", "Sign", "b") +
                            Dialogue("0:00:05.00", "0:00:06.00", "Note", "c");
    CSimpleTextSubtitle script;
    ASSERT_TRUE(script.OpenScriptFile(Write("styles.ass", text), 1, ""));
    EXPECT_EQ(Messages.Asked.size(), 2u);
    for (const STSEntry& entry : script.entries)
        EXPECT_EQ(entry.style, "Default");
}

TEST_F(ScriptOpenerTest, RealFiles)
{
    const QString fixtures = TANDEO_FIXTURES_DIR;
    CSimpleTextSubtitle sintel;
    ASSERT_TRUE(sintel.OpenScriptFile(fixtures + "/sintel/sintel_en.srt", 1, ""));
    EXPECT_EQ(sintel.readerName, "SubRip");
    EXPECT_EQ(sintel.entries.size(), 26u);

    CSimpleTextSubtitle images;
    ASSERT_TRUE(images.OpenScriptFile(
        fixtures + "/aegisub-fonts/subtitle_with_attached_images_aegisub.ass", 1, ""));
    EXPECT_EQ(images.readerName, "SubStation Alpha");
    EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(ScriptOpenerTest, RealFilesThatNeedRecovery)
{
    // Blocks without counters, and carriage returns alone as line ends:
    // every entry as counted without us, the first one exactly.
    const QString realWorld = QStringLiteral(TANDEO_FIXTURES_DIR "/realworld/");
    QFile table(realWorld + "expected.tsv");
    ASSERT_TRUE(table.open(QIODevice::ReadOnly));
    std::map<QByteArray, QList<QByteArray>> expected;
    while (!table.atEnd()) {
        const QList<QByteArray> fields = table.readLine().trimmed().split('\t');
        if (fields.size() >= 7)
            expected[fields[0]] = fields;
    }
    for (const char* path :
         {"pysrt/no-indexes.srt", "androidx-media/subrip/typical_missing_sequence.srt",
          "go-astisub/example-in-carriage-return.srt"}) {
        SCOPED_TRACE(path);
        ASSERT_EQ(expected.count(path), 1u);
        const QList<QByteArray>& fields = expected[path];
        CSimpleTextSubtitle script;
        ASSERT_TRUE(script.OpenScriptFile(realWorld + path, 1, ""));
        EXPECT_EQ(script.readerName, "SubRip");
        ASSERT_EQ(script.entries.size(), fields[3].toULongLong());
        EXPECT_EQ(script.entries[0].start, fields[4].toInt());
        EXPECT_EQ(script.entries[0].end, fields[5].toInt());
        EXPECT_EQ(script.EntryText(0).toStdString(), fields[6].toStdString());
    }
    EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(ScriptOpenerTest, EncodingsOfTheFile)
{
    const QString text =
        QString::fromUtf8("1\n00:00:01,000 --> 00:00:02,000\nCaf\xc3\xa9 \xe4\xb8\xad\n");
    QByteArray le("\xff\xfe", 2);
    QByteArray be("\xfe\xff", 2);
    for (QChar c : text) {
        le.append(static_cast<char>(c.unicode() & 0xFF))
            .append(static_cast<char>(c.unicode() >> 8));
        be.append(static_cast<char>(c.unicode() >> 8))
            .append(static_cast<char>(c.unicode() & 0xFF));
    }
    struct Case {
        const char* Name;
        QByteArray Bytes;
        TextEncoding Encoding;
    } cases[] = {
        {"UTF-8 with mark", "\xef\xbb\xbf" + text.toUtf8(), Utf8},
        {"UTF-8 without mark", text.toUtf8(), Ascii},
        {"UTF-16 LE", le, Utf16LE},
        {"UTF-16 BE", be, Utf16BE},
    };
    for (const Case& c : cases) {
        CSimpleTextSubtitle script;
        ASSERT_TRUE(script.OpenScriptFile(Write("enc.srt", c.Bytes), 1, "")) << c.Name;
        EXPECT_EQ(script.sourceEncoding, c.Encoding) << c.Name;
        ASSERT_EQ(script.entries.size(), 1u) << c.Name;
        EXPECT_EQ(script.EntryText(0), QString::fromUtf8("Caf\xc3\xa9 \xe4\xb8\xad")) << c.Name;
    }
}

TEST_F(ScriptOpenerTest, EveryReaderAnswersOnHostileInput)
{
    std::mt19937 random(7);
    QByteArray noise(64 * 1024, 0);
    for (char& c : noise)
        c = static_cast<char>(random());
    const QByteArray inputs[] = {
        QByteArray(),
        noise,
        QByteArray(4096, '\0'),
        QByteArray(10 * 1024 * 1024, 'x'),
        QByteArray(10 * 1024 * 1024, '{'),
        SubRipBlocks(5).left(70),
        (SsaScript + Dialogue("0:00:01.00", "0:00:02.00", "Default", "cut")).left(300),
        "{1}{2}" + QByteArray(100000, '|'),
    };
    for (std::size_t i = 0; i < std::size(inputs); ++i) {
        const QString path = Write("hostile.txt", inputs[i]);
        for (const SScriptReader& reader : ScriptReaders()) {
            CTextFile file;
            ASSERT_TRUE(file.Open(path));
            CSimpleTextSubtitle script;
            reader.Read(file, script, 1);  // any answer will do
            SUCCEED() << reader.Name << " on input " << i;
        }
        CSimpleTextSubtitle script;
        script.OpenScriptFile(path, 1, "");
    }
}

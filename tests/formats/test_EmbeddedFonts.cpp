#include "formats/EmbeddedFonts.h"
#include "formats/Readers.h"

#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

namespace {

const QString FixturesDir = QStringLiteral(TANDEO_FIXTURES_DIR "/aegisub-fonts/");
const QString FontsScript = FixturesDir + "subtitle_with_attached_fonts_aegisub.ass";

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

// The writing side of the encoding: three bytes to four characters from
// "!", a last byte or two to two or three characters.
QByteArray Encode(const QByteArray& data)
{
    QByteArray text;
    auto put = [&text](unsigned value) { text.append(static_cast<char>((value & 63u) + 33u)); };
    for (qsizetype i = 0; i < data.size(); i += 3) {
        const unsigned b0 = static_cast<unsigned char>(data[i]);
        const unsigned b1 = i + 1 < data.size() ? static_cast<unsigned char>(data[i + 1]) : 0;
        const unsigned b2 = i + 2 < data.size() ? static_cast<unsigned char>(data[i + 2]) : 0;
        put(b0 >> 2);
        put((b0 << 4) | (b1 >> 4));
        if (i + 1 < data.size())
            put((b1 << 2) | (b2 >> 6));
        if (i + 2 < data.size())
            put(b2);
    }
    return text;
}

}  // namespace

TEST(EmbeddedFonts, DecodesKnownTexts)
{
    struct Case {
        QByteArray Encoded;
        bool Ok;
        QByteArray Decoded;
    } cases[] = {
        {"47&O", true, "Man"},
        {"47&", true, "Ma"},
        {"47", true, "M"},
        {"``", true, "\xFF"},
        {QByteArray("!!!!", 4), true, QByteArray(3, '\0')},
        {"", false, ""},
        {"!", false, ""},
        {"47&O!", false, ""},
    };
    for (const Case& c : cases) {
        QByteArray decoded = "stale";
        EXPECT_EQ(DecodeFontData(c.Encoded, decoded), c.Ok) << c.Encoded.toStdString();
        if (c.Ok) {
            EXPECT_EQ(decoded, c.Decoded) << c.Encoded.toStdString();
        }
    }
}

TEST(EmbeddedFonts, DecodingUndoesTheEncodingForEveryTailLength)
{
    std::mt19937 random(7);
    for (const qsizetype size : {1, 2, 3, 4, 5, 6, 255, 1000, 1001, 1002}) {
        QByteArray data(size, '\0');
        for (char& c : data)
            c = static_cast<char>(random() & 0xFF);
        QByteArray decoded;
        ASSERT_TRUE(DecodeFontData(Encode(data), decoded)) << size;
        EXPECT_EQ(decoded, data) << size;
    }
}

TEST(EmbeddedFonts, AnyTextDecodesSafely)
{
    QByteArray text;
    for (int round = 0; round < 4; ++round) {
        for (int c = 0; c < 256; ++c)
            text.append(static_cast<char>(c));
    }
    QByteArray decoded;
    ASSERT_TRUE(DecodeFontData(text, decoded));
    EXPECT_EQ(decoded.size(), 768);
    // Not a font: nothing is installed, and nothing breaks.
    EXPECT_FALSE(InstallFontData(text));
    EXPECT_FALSE(InstallFontData(Encode("not a font at all")));
    EXPECT_FALSE(InstallFontData("!"));
    EXPECT_FALSE(InstallFontData(""));
}

TEST(EmbeddedFonts, SectionHeaders)
{
    struct Case {
        std::string Line;
        bool Header;
    } cases[] = {
        {"[Events]", true},
        {"[V4+ Styles]", true},
        {"[V4++ Styles]", true},
        {"[Script Info]", true},
        {"[Aegisub Project Garbage]", true},
        {"[Fonts]", true},
        {"[Graphics]", true},
        // Lines of font data from the fixture script.
        {"[9:/?E]G0!I*$Q1-!A)'\"!=$%!5\"!1M*!R%#\"RE@^&^_+B5;)2)7%DJ.?QU)!A!!!!%!\"0`_!YE#VA\"R",
         false},
        {"[!VI(#-9($L/(RQ9*B=Q(\"9\"2C!0.!5(\"TV8$!M/'$5X$1U;(4MF2\"=P#1Y]'310$C!(\"\"%C%3A,,SU*",
         false},
        {"[9:/?E]", false},
        {"[A-B]", false},
        {"[]", false},
        {"[Events", false},
        {"Events]", false},
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsSectionHeader(c.Line), c.Header) << c.Line;
}

TEST(EmbeddedFonts, BlockEnds)
{
    struct Case {
        const char* Name;
        const char* Text;
        std::vector<QByteArray> Fonts;
        const char* NextLine;  // nullptr: the end of the file
    } cases[] = {
        {"empty line",
         "AAAA\nfontname: b.ttf\nBBBB\nCC\n\n[Events]\n",
         {"AAAA", "BBBBCC"},
         "[Events]"},
        {"header is left for the script", "AAAA\n[Events]\nDialogue: x\n", {"AAAA"}, "[Events]"},
        {"data that starts with [",
         "AAAA\n[9:/?E]G0\nBBBB\n\nnext\n",
         {"AAAA[9:/?E]G0BBBB"},
         "next"},
        {"trimmed, to the end of the file", "  AAAA  \r\n\tBB", {"AAAABB"}, nullptr},
        {"no data", "\nnext\n", {}, "next"},
        {"empty fonts are skipped", "fontname: a\nfontname: b\nAAAA\n", {"AAAA"}, nullptr},
        {"names in exact case only", "AAAA\nFontName: x\n", {"AAAAFontName: x"}, nullptr},
    };
    QTemporaryDir dir;
    int n = 0;
    for (const Case& c : cases) {
        const QString path = dir.filePath(QString::number(++n));
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(c.Text);
        out.close();

        CTextFile file;
        ASSERT_TRUE(file.Open(path));
        EXPECT_EQ(ReadEmbeddedFontBlock(file), c.Fonts) << c.Name;
        QString line;
        EXPECT_EQ(file.ReadLine(line), c.NextLine != nullptr) << c.Name;
        if (c.NextLine != nullptr) {
            EXPECT_EQ(line, c.NextLine) << c.Name;
        }
    }
}

TEST(EmbeddedFonts, FixtureFontsDecodeByteForByte)
{
    CTextFile file;
    ASSERT_TRUE(file.Open(FontsScript));
    QString line;
    while (file.ReadLine(line) && !line.startsWith("fontname:")) {
    }
    ASSERT_EQ(line, "fontname: EBGaramond08-Regular_0.ttf");

    const std::vector<QByteArray> fonts = ReadEmbeddedFontBlock(file);
    ASSERT_EQ(fonts.size(), 2u);
    QByteArray regular, italic;
    ASSERT_TRUE(DecodeFontData(fonts[0], regular));
    ASSERT_TRUE(DecodeFontData(fonts[1], italic));
    EXPECT_TRUE(regular == ReadAll(FixturesDir + "EBGaramond08-Regular.ttf"));
    EXPECT_TRUE(italic == ReadAll(FixturesDir + "EBGaramond08-Italic.ttf"));

    // The script goes on after the block.
    ASSERT_TRUE(file.ReadLine(line));
    EXPECT_EQ(line, "[Events]");
}

// The only test here that installs the fixture's fonts: they must come from
// the reader.
TEST(EmbeddedFonts, ReaderInstallsTheScriptsFonts)
{
    const QString family = "EB Garamond 08";
    if (QFontDatabase::families().contains(family))
        GTEST_SKIP() << "EB Garamond 08 is installed on this machine";

    CSimpleTextSubtitle script;
    CTextFile file;
    ASSERT_TRUE(file.Open(FontsScript));
    ASSERT_TRUE(ReadSubStationScript(file, script, 1));
    ASSERT_EQ(script.entries.size(), 1u);
    EXPECT_EQ(script.entries[0].text, "Test subtitle.");
    EXPECT_EQ(script.entries[0].start, 0);
    EXPECT_EQ(script.entries[0].end, 5000);
    EXPECT_EQ(script.styles.count("Default"), 1u);

    ASSERT_TRUE(QFontDatabase::families().contains(family));
    EXPECT_TRUE(QFontDatabase::isSmoothlyScalable(family));
    QFont italic(family);
    italic.setItalic(true);
    EXPECT_EQ(QFontInfo(QFont(family)).family(), family);
    EXPECT_EQ(QFontInfo(italic).family(), family);
    EXPECT_TRUE(QFontInfo(italic).italic());
}

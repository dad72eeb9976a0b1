#include "formats/CharSets.h"
#include "platform/SettingsStore.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <string_view>

namespace {

// Byte-valued script text: each byte one unit.
QString B(std::string_view bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Every test gets its own settings file; `DefaultCodePage` 0 leaves the
// setting out (1252 then).
class CharSetsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        SetSettingsFilePath(Dir.filePath("settings.ini"));
    }
    void TearDown() override { SetSettingsFilePath(QString()); }

    void UseDefaultCodePage(int codePage)
    {
        ++Files;
        SetSettingsFilePath(Dir.filePath(QStringLiteral("settings%1.ini").arg(Files)));
        if (codePage != 0)
            WriteSettingInt("General", "Default Code Page", codePage);
    }

    QTemporaryDir Dir;
    int Files = 0;
};

struct SFindCase {
    const char* Name;
    QString Text;
    char Ch;
    int From;
    bool Unicode;
    int CharSet;
    int DefaultCodePage;
    int Expected;
};

TEST_F(CharSetsTest, FindScriptCharSkipsSecondBytesOfDoubleByteCharacters)
{
    // 0x83 0x7C is one Shift-JIS character whose second byte is "|".
    const SFindCase cases[] = {
        {"unicode", "a|b|", '|', 2, true, 128, 0, 3},
        {"unicode from the end", "a|", '|', 2, true, 0, 0, -1},
        {"unicode from before the start", "a|", '|', -1, true, 0, 0, -1},
        {"shift-jis second byte", B("\x83|x|"), '|', 0, false, 128, 0, 3},
        {"same bytes in 1252", B("\x83|x|"), '|', 0, false, 0, 0, 1},
        {"from skips earlier matches", B("|\x83||"), '|', 1, false, 128, 0, 3},
        {"from inside a pair", B("\x83||"), '|', 1, false, 128, 0, 2},
        {"lead byte as the last unit", B("ab\x83"), '\x83', 0, false, 128, 0, -1},
        {"tag switches to shift-jis", B("{\\fe128}\x83||"), '|', 0, false, 0, 0, 10},
        {"tag without digits goes back", B("{\\fe128\\fe}\x83|"), '|', 0, false, 0, 0, 12},
        {"tag outside a block is text", B("\\fe128\x83|"), '|', 0, false, 0, 0, 7},
        {"closed block keeps its switch", B("{\\fe128}{x}\x83||"), '|', 0, false, 0, 0, 13},
        {"default set, gbk setting", B("\x81|"), '|', 0, false, 1, 936, -1},
        {"default set, no setting", B("\x81|"), '|', 0, false, 1, 0, 1},
        {"default set, utf-8 text", B("\xE4\xB8\xAD|"), '|', 0, false, 1, 936, 3},
        {"unknown set is the default", B("\x81|"), '|', 0, false, 99, 936, -1},
    };
    for (const SFindCase& c : cases) {
        SCOPED_TRACE(c.Name);
        UseDefaultCodePage(c.DefaultCodePage);
        EXPECT_EQ(
            FindScriptChar(c.Text, QChar(static_cast<uchar>(c.Ch)), c.From, c.Unicode, c.CharSet),
            c.Expected);
    }
}

struct SDecodeCase {
    const char* Name;
    QString Text;
    int CharSet;
    int DefaultCodePage;
    QString Expected;
};

TEST_F(CharSetsTest, DecodeWithCharSet)
{
    const SDecodeCase cases[] = {
        {"ansi", B("caf\xE9 \x80"), 0, 0, QStringLiteral("caf\u00E9 \u20AC")},
        {"shift-jis pair and half-width", B("\x83|\xB1"), 128, 0, QStringLiteral("\u30DD\uFF71")},
        {"gbk", B("\xD6\xD0\xCE\xC4"), 134, 0, QStringLiteral("\u4E2D\u6587")},
        {"hangul", B("\xC7\xD1"), 129, 0, QStringLiteral("\uD55C")},
        {"johab keeps the backslash", B("\x88\x61\\"), 130, 0, QStringLiteral("\uAC00\\")},
        {"big5", B("\xA4\xA4"), 136, 0, QStringLiteral("\u4E2D")},
        {"russian", B("\xCF\xF0\xE8"), 204, 0, QStringLiteral("\u041F\u0440\u0438")},
        {"greek", B("\xE1"), 161, 0, QStringLiteral("\u03B1")},
        {"hebrew", B("\xF9"), 177, 0, QStringLiteral("\u05E9")},
        {"thai", B("\xA1"), 222, 0, QStringLiteral("\u0E01")},
        {"mac", B("\x80"), 77, 0, QStringLiteral("\u00C4")},
        {"oem", B("\x82"), 255, 0, QStringLiteral("\u00E9")},
        {"vietnamese tone mark", B("a\xEC"), 163, 0, QStringLiteral("a\u0301")},
        {"symbol as latin-1", B("a\xE1"), 2, 0, QStringLiteral("a\u00E1")},
        {"default, legacy setting", B("\xD6\xD0"), 1, 936, QStringLiteral("\u4E2D")},
        {"default, no setting", B("caf\xE9"), 1, 0, QStringLiteral("caf\u00E9")},
        {"default, utf-8 text", B("\xE4\xB8\xAD"), 1, 936, QStringLiteral("\u4E2D")},
        {"lead byte as the last unit", B("a\x83"), 128, 0, QStringLiteral("a")},
        {"broken pair keeps its second byte",
         B("\x82"
           "A"),
         128, 0, QStringLiteral("A")},
        {"unconvertible byte dropped", B("\x82\xA0\x81"), 0, 0, QStringLiteral("\u201A\u00A0")},
        {"no repeat after a character", B("\x82\xA0\x80"), 128, 0, QStringLiteral("\u3042")},
        {"units above a byte stay", QStringLiteral("\u4E2D\xE9"), 0, 0,
         QStringLiteral("\u4E2D\u00E9")},
    };
    for (const SDecodeCase& c : cases) {
        SCOPED_TRACE(c.Name);
        UseDefaultCodePage(c.DefaultCodePage);
        EXPECT_EQ(DecodeWithCharSet(c.Text, c.CharSet), c.Expected);
    }
}

TEST_F(CharSetsTest, DecodeScriptTextFollowsFontEncodingTags)
{
    const SDecodeCase cases[] = {
        {"shift-jis after the tag", B("{\\fe128}\x83|\x82\xA0"), 1, 0,
         QStringLiteral("{\\fe128}\u30DD\u3042")},
        {"back to the entry's set", B("\xE9{\\fe128}\x83|{\\fe}\xE9"), 0, 0,
         QStringLiteral("\u00E9{\\fe128}\u30DD{\\fe}\u00E9")},
        {"other tags keep the set", B("{\\fe128}\x83|{\\i1}\x83|"), 0, 0,
         QStringLiteral("{\\fe128}\u30DD{\\i1}\u30DD")},
        {"block is in the entry's set", B("{\\fe128\\i1\x83|}"), 0, 0,
         QStringLiteral("{\\fe128\\i1\u0192|}")},
        {"brace as a second byte", B("\x83{\x83}"), 128, 0, QStringLiteral("\u30DC\u30DE")},
        {"unclosed block", B("a{\\fe128\x83|"), 0, 0, QStringLiteral("a{\\fe128\u0192|")},
        {"gbk by default", B("\xD6\xD0{\\i1}\xCE\xC4"), 1, 936,
         QStringLiteral("\u4E2D{\\i1}\u6587")},
        {"utf-8 by default", B("\xE4\xB8\xAD{\\i1}\xE6\x96\x87"), 1, 936,
         QStringLiteral("\u4E2D{\\i1}\u6587")},
        {"empty", QString(), 1, 0, QString()},
    };
    for (const SDecodeCase& c : cases) {
        SCOPED_TRACE(c.Name);
        UseDefaultCodePage(c.DefaultCodePage);
        EXPECT_EQ(DecodeScriptText(c.Text, c.CharSet), c.Expected);
    }
}

}  // namespace

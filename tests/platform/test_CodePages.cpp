#include "platform/CharsetDetection.h"
#include "platform/CodePages.h"
#include "platform/SettingsStore.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <string>

namespace {

TEST(CodePages, CharSetNumbersTranslate)
{
    const std::pair<int, int> table[] = {
        {0, 1252},   {1, 0},      {2, CodePageSymbol}, {77, 10000}, {128, 932},
        {129, 949},  {130, 1361}, {134, 936},          {136, 950},  {161, 1253},
        {162, 1254}, {163, 1258}, {177, 1255},         {178, 1256}, {186, 1257},
        {204, 1251}, {222, 874},  {238, 1250},         {255, 437},  {3, 0},
        {-1, 0},     {1000, 0},
    };
    for (const auto& [charSet, codePage] : table)
        EXPECT_EQ(CodePageOfCharSet(charSet), codePage) << "character set " << charSet;
}

TEST(CodePages, LeadBytesAtTheEdgesOfTheirRanges)
{
    struct SCase {
        int CodePage;
        std::vector<int> Leads;
        std::vector<int> Others;
    };
    const SCase cases[] = {
        {932, {0x81, 0x9F, 0xE0, 0xFC}, {0x40, 0x80, 0xA0, 0xB1, 0xDF, 0xFD}},
        {936, {0x81, 0xFE}, {0x7F, 0x80, 0xFF}},
        {949, {0x81, 0xFE}, {0x80, 0xFF}},
        {950, {0x81, 0xFE}, {0x80, 0xFF}},
        {1361, {0x84, 0xD3, 0xD8, 0xDE, 0xE0, 0xF9}, {0x83, 0xD4, 0xD7, 0xDF, 0xFA}},
        {1252, {}, {0x81, 0xE0}},
        {CodePageUtf8, {}, {0xC3, 0xE4}},
    };
    for (const SCase& c : cases) {
        for (int b : c.Leads)
            EXPECT_TRUE(IsLeadByte(c.CodePage, static_cast<unsigned char>(b)))
                << c.CodePage << " " << b;
        for (int b : c.Others)
            EXPECT_FALSE(IsLeadByte(c.CodePage, static_cast<unsigned char>(b)))
                << c.CodePage << " " << b;
    }
}

TEST(CodePages, StrictUtf8)
{
    const std::pair<std::string, bool> table[] = {
        {"", true},
        {"plain", true},
        {"\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80", true},
        {"\xEF\xBF\xBF\xF4\x8F\xBF\xBF", true},
        {"\xC0\x80", false},          // overlong
        {"\xE0\x80\xAF", false},      // overlong
        {"\xED\xA0\x80", false},      // surrogate
        {"\xF4\x90\x80\x80", false},  // above U+10FFFF
        {"\xF5\x80\x80\x80", false},
        {"\xE4\xB8", false},  // cut short
        {"\x80", false},
        {"\xC3(", false},
        {"caf\xE9", false},
        {"\xD6\xD0\xCE\xC4", false},  // GBK
    };
    for (const auto& [bytes, valid] : table)
        EXPECT_EQ(IsValidUtf8(bytes), valid) << testing::PrintToString(bytes);
}

class DefaultCodePageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        SetSettingsFilePath(Dir.filePath("settings.ini"));
    }
    void TearDown() override { SetSettingsFilePath(QString()); }

    // A settings file written by hand, as users do.
    void UseFile(const QByteArray& content)
    {
        const QString path = Dir.filePath(QStringLiteral("hand%1.ini").arg(++Files));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        SetSettingsFilePath(path);
    }

    QTemporaryDir Dir;
    int Files = 0;
};

TEST_F(DefaultCodePageTest, ComesFromTheSettingAndFollowsItsChanges)
{
    const std::pair<QByteArray, int> table[] = {
        {"", 1252},
        {"[General]\nDefault Code Page=936\n", 936},
        {"[%General]\nDefault%20Code%20Page=932\n", 932},
        {"[General]\nDefault Code Page=12345\n", 1252},
        {"[General]\nDefault Code Page=0\n", 1252},
        {"[General]\nDefault Code Page=many\n", 1252},
        {"[Top]\nDefault Code Page=936\n", 1252},
    };
    for (const auto& [content, expected] : table) {
        UseFile(content);
        EXPECT_EQ(LegacyDefaultCodePage(), expected) << content.constData();
    }
    ASSERT_TRUE(WriteSettingInt("General", "Default Code Page", 949));
    EXPECT_EQ(LegacyDefaultCodePage(), 949);
}

TEST_F(DefaultCodePageTest, Utf8TextWinsOverTheSetting)
{
    UseFile("[General]\nDefault Code Page=936\n");
    EXPECT_EQ(ResolveCodePage(CodePageDefault, "\xE4\xB8\xAD"), CodePageUtf8);
    EXPECT_EQ(ResolveCodePage(CodePageDefault, "\xD6\xD0"), 936);
    EXPECT_EQ(ResolveCodePage(77777, "\xD6\xD0"), 936);
    EXPECT_EQ(ResolveCodePage(1252, "\xE4\xB8\xAD"), 1252);
    EXPECT_EQ(DecodeCodePage(CodePageDefault, "\xD6\xD0\xCE\xC4"), QStringLiteral("\u4E2D\u6587"));
    EXPECT_EQ(DecodeCodePage(CodePageDefault, "\xE4\xB8\xAD"), QStringLiteral("\u4E2D"));
}

TEST(CharsetDetection, DetectedNamesBecomeCodePagesWeDecode)
{
    const struct {
        const char* Name;
        int CodePage;
        const char* Bytes;
        QString Text;
    } cases[] = {
        {"GB18030", 936, "\xD6\xD0", QStringLiteral("\u4E2D")},
        {"BIG5", 950, "\xA4\xA4", QStringLiteral("\u4E2D")},
        {"SHIFT_JIS", 932, "\x93\xFA", QStringLiteral("\u65E5")},
        {"UHC", 949, "\xC7\xD1", QStringLiteral("\uD55C")},
        {"WINDOWS-1251", 1251, "\xC6", QStringLiteral("\u0416")},
        {"WINDOWS-1256", 1256, "\xE1", QStringLiteral("\u0644")},
        {"ISO-8859-2", 28592, "\xB1", QStringLiteral("\u0105")},
        {"KOI8-R", 20866, "\xF6", QStringLiteral("\u0416")},
        {"windows-1252", 1252, "\x80", QStringLiteral("\u20AC")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CodePageOfCharsetName(c.Name), c.CodePage) << c.Name;
        EXPECT_EQ(DecodeCodePage(c.CodePage, c.Bytes), c.Text) << c.Name;
    }
    // Names we have no decoding for leave the choice to the settings.
    for (const char* name : {"EUC-JP", "UTF-8", "ASCII", ""})
        EXPECT_EQ(CodePageOfCharsetName(name), 0) << name;
    EXPECT_EQ(DetectCharset("").codePage, 0);
}

}  // namespace

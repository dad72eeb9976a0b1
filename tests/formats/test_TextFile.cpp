#include "formats/CharSets.h"

#include "formats/TextFile.h"
#include "platform/Download.h"
#include "platform/SettingsStore.h"
#include "platform/TempFiles.h"
#include "support/LocalHttpServer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::string_literals;

class TextFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        SetSettingsFilePath(Dir.filePath("settings.ini"));
    }
    void TearDown() override { SetSettingsFilePath(QString()); }

    QString Write(const std::string& bytes, const QString& name = "t.txt")
    {
        const QString path = Dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
        return path;
    }

    QTemporaryDir Dir;
};

std::vector<QString> ReadAllWide(CTextFile& file)
{
    std::vector<QString> lines;
    for (QString line; file.ReadLine(line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> ReadAllNarrow(CTextFile& file)
{
    std::vector<std::string> lines;
    for (std::string line; file.ReadLineNarrow(line);)
        lines.push_back(line);
    return lines;
}

struct SLineCase {
    const char* Name;
    std::string Bytes;
    TextEncoding Encoding;
    std::vector<QString> Wide;
    std::vector<std::string> Narrow;
};

TEST_F(TextFileTest, ReadsLinesOfEveryEncoding)
{
    const std::string utf8Bom = "\xEF\xBB\xBF";
    const SLineCase cases[] = {
        {"utf16le",
         "\xFF\xFE"s + "A\0\r\0\n\0-N\n\0\xE9\0"s,
         Utf16LE,
         {"A", QStringLiteral("\u4E2D"), QStringLiteral("\u00E9")},
         {"A", "?", "\xE9"}},
        {"utf16be",
         "\xFE\xFF"s + "\0A\0\r\0\n\x4E-\0\n"s,
         Utf16BE,
         {"A", QStringLiteral("\u4E2D")},
         {"A", "?"}},
        {"utf16 odd last byte", "\xFF\xFE"s + "A\0\n\0B"s, Utf16LE, {"A"}, {"A"}},
        {"utf16 line ends of every system",
         "\xFF\xFE"s + "a\0\r\0b\0\r\0\n\0c\0\n\0\r\0"s,
         Utf16LE,
         {"a", "b", "c", ""},
         {"a", "b", "c", ""}},
        {"utf8 three bytes",
         utf8Bom + "a\r\n\xE4\xB8\xAD\n",
         Utf8,
         {"a", QStringLiteral("\u4E2D")},
         {"a", "?"}},
        {"utf8 two bytes", utf8Bom + "caf\xC3\xA9", Utf8, {QStringLiteral("caf\u00E9")}, {"caf?"}},
        {"utf8 four bytes", utf8Bom + "\xF0\x9F\x98\x80", Utf8, {"????"}, {"????"}},
        {"utf8 stray continuation", utf8Bom + "\x80x", Utf8, {"?x"}, {"?x"}},
        {"utf8 line ends of every system",
         utf8Bom + "a\rb\r\n\xE4\xB8\xAD\r",
         Utf8,
         {"a", "b", QStringLiteral("\u4E2D")},
         {"a", "b", "?"}},
        {"utf8 cut sequence", utf8Bom + "ab\n\xE4\xB8", Utf8, {"ab", ""}, {"ab", ""}},
        {"utf8 continuation not checked",
         utf8Bom + "\xC3\nx",
         Utf8,
         {QStringLiteral("\u00CAx")},
         {"?x"}},
        {"no mark after EF BB",
         "\xEF\xBB"
         "A",
         Ascii,
         {QStringLiteral("\u00EF\u00BBA")},
         {"\xEF\xBB"
          "A"}},
        {"two bytes EF BB", "\xEF\xBB", Ascii, {QStringLiteral("\u00EF\u00BB")}, {"\xEF\xBB"}},
        {"one byte", "x", Ascii, {"x"}, {"x"}},
        {"empty", "", Ascii, {}, {}},
        {"only a line feed", "\n", Ascii, {""}, {""}},
        {"text mode: line feeds, carriage returns, or both",
         "a\r\nb\rc\n\r\r\n\n",
         Ascii,
         {"a", "b", "c", "", "", ""},
         {"a", "b", "c", "", "", ""}},
        {"ctrl-z ends the file",
         "a\nb\x1A"
         "c\n",
         Ascii,
         {"a", "b"},
         {"a", "b"}},
        {"bytes keep their value",
         "caf\xE9\x81",
         Ascii,
         {QStringLiteral("caf\u00E9\u0081")},
         {"caf\xE9\x81"}},
        {"carriage return at the end ends the line", "a\r", Ascii, {"a"}, {"a"}},
    };
    for (const SLineCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString path = Write(c.Bytes);
        CTextFile file;
        ASSERT_TRUE(file.Open(path));
        EXPECT_EQ(file.encoding, c.Encoding);
        EXPECT_EQ(file.HasUnicodeEncoding(), c.Encoding != Ascii);
        EXPECT_EQ(file.GetPosition(), 0);
        EXPECT_EQ(ReadAllWide(file), c.Wide);
        file.Seek(0, 0);
        EXPECT_EQ(ReadAllNarrow(file), c.Narrow);
    }
}

TEST_F(TextFileTest, PositionsLeaveOutTheByteOrderMark)
{
    // "ab\ncd" after a UTF-8 mark: five bytes of text.
    CTextFile file;
    ASSERT_TRUE(file.Open(Write("\xEF\xBB\xBF"
                                "ab\ncd")));
    EXPECT_EQ(file.bomSize, 3);
    EXPECT_EQ(file.GetLength(), 5);
    QString line;
    ASSERT_TRUE(file.ReadLine(line));
    EXPECT_EQ(file.GetPosition(), 3);

    struct SSeekCase {
        std::int64_t Offset;
        int Origin;
        std::int64_t Expected;
    };
    const SSeekCase seeks[] = {
        {0, 2, 5},  {1, 2, 4},         {50, 2, 0},        {-3, 2, 5},  {2, 0, 2},
        {-3, 0, 0}, {99, 0, 5},        {1, 1, 3},         {-99, 1, 0}, {2, 1, 4},
        {4, 1, 5},  {INT64_MAX, 1, 5}, {INT64_MIN, 2, 5},
    };
    for (const SSeekCase& s : seeks) {
        SCOPED_TRACE(testing::Message() << s.Offset << " from " << s.Origin);
        const std::int64_t before = file.GetPosition();
        if (s.Origin == 1)
            file.Seek(2, 0);
        EXPECT_EQ(file.Seek(s.Offset, s.Origin), s.Expected) << "was at " << before;
        EXPECT_EQ(file.GetPosition(), s.Expected);
    }
    // Reading starts where the seek put it, never inside the mark.
    file.Seek(1, 0);
    ASSERT_TRUE(file.ReadLine(line));
    EXPECT_EQ(line, "b");
    file.Seek(0, 0);
    ASSERT_TRUE(file.ReadLine(line));
    EXPECT_EQ(line, "ab");
    file.Seek(0, 2);
    EXPECT_FALSE(file.ReadLine(line));
    EXPECT_TRUE(line.isEmpty());
}

TEST_F(TextFileTest, ControlZStopsEveryLaterRead)
{
    CTextFile file;
    ASSERT_TRUE(file.Open(Write("ab\x1A"
                                "cd\n")));
    std::string line;
    ASSERT_TRUE(file.ReadLineNarrow(line));
    EXPECT_EQ(line, "ab");
    EXPECT_EQ(file.GetPosition(), 2);
    EXPECT_FALSE(file.ReadLineNarrow(line));
    EXPECT_FALSE(file.ReadLineNarrow(line));
    // Moving past it reads on, as a seek does in text mode.
    file.Seek(3, 0);
    ASSERT_TRUE(file.ReadLineNarrow(line));
    EXPECT_EQ(line, "cd");
}

TEST_F(TextFileTest, LongLinesAcrossReadBlocks)
{
    // A carriage return as the last byte of one read block and its line feed
    // as the first of the next; then a 10 MB line.
    for (const std::size_t length : {std::size_t(256 * 1024 - 1), std::size_t(10'000'000)}) {
        SCOPED_TRACE(length);
        const std::string text(length, 'x');
        CTextFile file;
        ASSERT_TRUE(file.Open(Write(text + "\r\nnext")));
        QString line;
        ASSERT_TRUE(file.ReadLine(line));
        EXPECT_EQ(line.size(), static_cast<qsizetype>(length));
        EXPECT_EQ(line.count(u'x'), static_cast<qsizetype>(length));
        ASSERT_TRUE(file.ReadLine(line));
        EXPECT_EQ(line, "next");
        EXPECT_EQ(file.GetPosition(), file.GetLength());
    }
}

TEST_F(TextFileTest, CarriageReturnAtTheEndOfAReadBlock)
{
    // UTF-16: the unit after a carriage return is looked at in the next
    // block and must not be lost when it is not a line feed.
    std::string text = "\xFF\xFE";
    for (int i = 0; i < 256 * 1024 / 2 - 1; ++i)
        text += std::string("x\0", 2);
    text += std::string("\r\0y\0\r\0\n\0z\0", 10);
    CTextFile file;
    ASSERT_TRUE(file.Open(Write(text)));
    QString line;
    ASSERT_TRUE(file.ReadLine(line));
    EXPECT_EQ(line.size(), 256 * 1024 / 2 - 1);
    ASSERT_TRUE(file.ReadLine(line));
    EXPECT_EQ(line, "y");
    ASSERT_TRUE(file.ReadLine(line));
    EXPECT_EQ(line, "z");
    EXPECT_FALSE(file.ReadLine(line));
}

TEST_F(TextFileTest, OpenFailsAndReopens)
{
    CTextFile file;
    EXPECT_FALSE(file.Open(Dir.filePath("missing.txt")));
    EXPECT_FALSE(file.Open(Dir.path()));
    QString line;
    EXPECT_FALSE(file.ReadLine(line));
    EXPECT_EQ(file.GetLength(), 0);

    const QString first = Write("\xFF\xFE"
                                "a\0"s,
                                "a.txt");
    const QString second = Write("plain", "b.txt");
    ASSERT_TRUE(file.Open(first));
    EXPECT_EQ(file.GetFilePath(), first);
    ASSERT_TRUE(file.Open(second));
    EXPECT_EQ(file.GetFilePath(), second);
    EXPECT_EQ(file.encoding, Ascii);
    EXPECT_EQ(file.bomSize, 0);
    ASSERT_TRUE(file.ReadLine(line));
    EXPECT_EQ(line, "plain");
    file.Close();
    EXPECT_FALSE(file.ReadLine(line));
}

// Files without a mark keep their bytes; the character set of the entry
// decodes them later.
TEST_F(TextFileTest, LegacyAndUnmarkedFilesDecodeWithTheDefaultCharSet)
{
    struct SCase {
        const char* Name;
        int DefaultCodePage;  // 0: not set
        std::string Bytes;
        QString Decoded;
    };
    const SCase cases[] = {
        {"utf-8 without mark", 936, "\xE4\xB8\xAD\xE6\x96\x87 ok",
         QStringLiteral("\u4E2D\u6587 ok")},
        {"gbk", 936, "\xD6\xD0\xCE\xC4", QStringLiteral("\u4E2D\u6587")},
        {"windows-1252", 0, "caf\xE9 \x80", QStringLiteral("caf\u00E9 \u20AC")},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.Name);
        QFile::remove(Dir.filePath("settings.ini"));
        SetSettingsFilePath(Dir.filePath("settings.ini"));
        if (c.DefaultCodePage) {
            ASSERT_TRUE(WriteSettingInt("General", "Default Code Page", c.DefaultCodePage));
        }
        CTextFile file;
        ASSERT_TRUE(file.Open(Write(c.Bytes + "\r\n")));
        QString line;
        ASSERT_TRUE(file.ReadLine(line));
        EXPECT_FALSE(file.HasUnicodeEncoding());
        EXPECT_EQ(DecodeScriptText(line, 1), c.Decoded);
    }
}

// Downloads run a local event loop, which needs an application object.
class WebTextFileTest : public TextFileTest {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "formats_tests";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            Application = std::make_unique<QCoreApplication>(argc, argv);
    }
    // Gone before the end of the process, while Qt can still take it down.
    static void TearDownTestSuite() { Application.reset(); }

    static std::unique_ptr<QCoreApplication> Application;
};

std::unique_ptr<QCoreApplication> WebTextFileTest::Application;

TEST_F(WebTextFileTest, WebFileDownloadsIntoAPrivateFileAndDeletesItOnClose)
{
    CLocalHttpServer server({{"/dir/sub.srt",
                              {200, "\xFF\xFE"
                                    "h\0i\0\n\0"s}}});
    QString kept;
    {
        CWebTextFile file(1048576);
        ASSERT_TRUE(file.Open(server.Url("/dir/sub.srt?x=1")));
        kept = file.GetFilePath();
        EXPECT_EQ(kept, file.tempFileName);
        EXPECT_EQ(kept, PrivateTempDirectory() + "/sub.srt");
        EXPECT_EQ(file.encoding, Utf16LE);
        QString line;
        ASSERT_TRUE(file.ReadLine(line));
        EXPECT_EQ(line, "hi");

        // A second download of the same name while the first is open.
        CWebTextFile other(1048576);
        ASSERT_TRUE(other.Open(server.Url("/dir/sub.srt")));
        EXPECT_NE(other.GetFilePath(), kept);
        EXPECT_TRUE(QFile::exists(kept));
        other.Close();

        file.Close();
        EXPECT_FALSE(QFile::exists(kept));
        EXPECT_TRUE(file.tempFileName.isEmpty());
        // Reopening and letting the object go also removes the file.
        ASSERT_TRUE(file.Open(server.Url("/dir/sub.srt")));
        kept = file.GetFilePath();
    }
    EXPECT_FALSE(QFile::exists(kept));
}

TEST_F(WebTextFileTest, WebFileKeepsTheLimitAndLeavesNothingOnFailure)
{
    CLocalHttpServer server({{"/big.srt", {200, std::string(3000, 'a')}}});
    CWebTextFile limited(1500);  // whole blocks of 1024 bytes
    ASSERT_TRUE(limited.Open(server.Url("/big.srt")));
    EXPECT_EQ(limited.GetLength(), 2048);

    const QStringList before = QDir(PrivateTempDirectory()).entryList(QDir::Files);
    CWebTextFile missing(1048576);
    EXPECT_FALSE(missing.Open(server.Url("/missing.srt")));
    EXPECT_TRUE(missing.tempFileName.isEmpty());
    EXPECT_EQ(QDir(PrivateTempDirectory()).entryList(QDir::Files), before);

    // Other paths are plain files.
    CWebTextFile local(1048576);
    ASSERT_TRUE(local.Open(Write("x")));
    EXPECT_TRUE(local.tempFileName.isEmpty());
    local.Close();
    EXPECT_TRUE(QFile::exists(Dir.filePath("t.txt")));
}

}  // namespace

#include "platform/SettingsStore.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        Path = Dir.filePath("settings.ini");
        SetSettingsFilePath(Path);
    }
    void TearDown() override { SetSettingsFilePath(QString()); }

    void WriteFile(const QByteArray& content)
    {
        QFile file(Path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }
    QByteArray FileContent()
    {
        QFile file(Path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir Dir;
    QString Path;
};

TEST_F(SettingsStoreTest, ValuesRoundTripInEverySection)
{
    const QByteArray block("\x00\x01\xFF\x80\r\n,=[]", 10);
    for (const QString section : {"General", "Top", "Bottom"}) {
        SCOPED_TRACE(section.toStdString());
        ASSERT_TRUE(WriteSettingInt(section, "BG Color", -123456));
        ASSERT_TRUE(WriteSettingString(section, "FontName", "Arial, Bold = \"x\" ;y"));
        ASSERT_TRUE(WriteSettingBytes(section, "Style", block));
        EXPECT_EQ(ReadSettingInt(section, "BG Color", 7), -123456);
        EXPECT_EQ(ReadSettingString(section, "FontName"), "Arial, Bold = \"x\" ;y");
        QByteArray read;
        ASSERT_TRUE(ReadSettingBytes(section, "Style", read));
        EXPECT_EQ(read, block);
    }
    // Sections do not see each other's keys.
    ASSERT_TRUE(WriteSettingInt("Top", "Only", 1));
    EXPECT_EQ(ReadSettingInt("Bottom", "Only", -1), -1);
    EXPECT_EQ(ReadSettingInt("General", "Only", -1), -1);

    // "General" is written as a plain section that people can edit.
    const QByteArray content = FileContent();
    EXPECT_TRUE(content.contains("[General]"));
    EXPECT_FALSE(content.contains("[%General]"));
}

TEST_F(SettingsStoreTest, HandWrittenFilesAreRead)
{
    struct SCase {
        QByteArray Content;
        QString Section;
        int Expected;
    };
    const SCase cases[] = {
        {"[General]\nDefault Code Page=936\n", "General", 936},
        {"[%General]\nDefault Code Page=932\n", "General", 932},
        {"[General]\nDefault Code Page=936\n[%General]\nDefault Code Page=932\n", "General", 936},
        {"[Top]\nDefault Code Page = 950 \n", "Top", 950},
        {"[General]\nDefault Code Page=abc\n", "General", -1},
        {"[General]\nOther=1\n", "General", -1},
        {"", "General", -1},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.Content.constData());
        WriteFile(c.Content);
        SetSettingsFilePath(Path);
        EXPECT_EQ(ReadSettingInt(c.Section, "Default Code Page", -1), c.Expected);
    }
    WriteFile("[General]\nFontName=Arial, Bold\n");
    SetSettingsFilePath(Path);
    EXPECT_EQ(ReadSettingString("General", "FontName"), "Arial, Bold");
    QByteArray bytes("stale");
    EXPECT_FALSE(ReadSettingBytes("General", "Missing", bytes));
    EXPECT_TRUE(bytes.isEmpty());
    EXPECT_EQ(ReadSettingString("General", "Missing", "fallback"), "fallback");
}

TEST_F(SettingsStoreTest, WritingGeneralReplacesAQtStyleCopy)
{
    WriteFile("[%General]\nZoom=3\n");
    SetSettingsFilePath(Path);
    ASSERT_EQ(ReadSettingInt("General", "Zoom", 0), 3);
    ASSERT_TRUE(WriteSettingInt("General", "Zoom", 5));
    EXPECT_EQ(ReadSettingInt("General", "Zoom", 0), 5);
    EXPECT_FALSE(FileContent().contains("Zoom=3"));
}

TEST_F(SettingsStoreTest, PointingElsewhereTakesEffectAtOnce)
{
    ASSERT_TRUE(WriteSettingInt("Top", "Direction", 1));
    const std::uint64_t before = SettingsGeneration();
    SetSettingsFilePath(Dir.filePath("other.ini"));
    EXPECT_NE(SettingsGeneration(), before);
    EXPECT_EQ(ReadSettingInt("Top", "Direction", 0), 0);
    const std::uint64_t beforeWrite = SettingsGeneration();
    ASSERT_TRUE(WriteSettingInt("Top", "Direction", 2));
    EXPECT_NE(SettingsGeneration(), beforeWrite);
    SetSettingsFilePath(Path);
    EXPECT_EQ(ReadSettingInt("Top", "Direction", 0), 1);
}

TEST_F(SettingsStoreTest, AWriteThatCannotBeStoredFails)
{
    SetSettingsFilePath(Dir.filePath("missing-folder/settings.ini"));
    QFile blocker(Dir.filePath("missing-folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));  // a file where the folder should be
    blocker.close();
    EXPECT_FALSE(WriteSettingInt("Top", "Direction", 1));
}

}  // namespace

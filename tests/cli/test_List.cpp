#include "cli/Commands.h"

#include "platform/SettingsStore.h"
#include "support/RecordedMessages.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sstream>

namespace {

class ListCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        Settings = Dir.filePath("Tandeo.ini");
    }
    void TearDown() override { SetSettingsFilePath(QString()); }

    struct SResult {
        int Status;
        std::vector<std::string> Lines;
        std::string Err;
    };

    SResult List(QStringList args)
    {
        args.prepend("list");
        args << "--settings" << Settings;
        std::ostringstream out;
        std::ostringstream err;
        SResult result{RunCommandLine(args, out, err), {}, err.str()};
        std::istringstream in(out.str());
        for (std::string line; std::getline(in, line);)
            result.Lines.push_back(line);
        return result;
    }

    QString Write(const QString& name, const QByteArray& bytes)
    {
        QFile file(Dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    QTemporaryDir Dir;
    QString Settings;
    CRecordedMessages Messages;
};

}  // namespace

TEST_F(ListCommandTest, SintelLinesWithTimesAndText)
{
    const SResult result = List({QString(TANDEO_FIXTURES_DIR) + "/sintel/sintel_en.srt"});
    ASSERT_EQ(result.Status, 0) << result.Err;
    ASSERT_EQ(result.Lines.size(), 27u);
    EXPECT_EQ(result.Lines[0],
              " #1  00:02:17:25  00:02:20:50  auto  auto  This blade has a dark past.");
    EXPECT_EQ(result.Lines[2], " #3  00:02:28:00  00:02:31:45  auto  auto  You're a fool for "
                               "traveling alone,\\Nso completely unprepared.");
    EXPECT_EQ(result.Lines[25].rfind(" #26  00:10:56:20  00:10:59:80  auto  auto  ", 0), 0u)
        << result.Lines[25];
    EXPECT_EQ(result.Lines.back(), "lines: 26, bad timings: 0");
}

TEST_F(ListCommandTest, ChineseTwoRowLinesAndBadTimings)
{
    const QString path = Write("zh.srt", "1\n00:00:01,000 --> 00:00:03,000\n"
                                         "\xe5\xa4\xa9\xe9\xbb\x91\xe4\xb9\x8b\xe5\x89\x8d\n"
                                         "\xe6\x88\x91\xe4\xbb\xac\xe8\xb5\xb0\n\n"
                                         "2\n00:00:02,500 --> 00:00:04,000\n\xe7\x81\xaf\n");
    const SResult result = List({path, "--video-size", "1280x720"});
    ASSERT_EQ(result.Status, 0) << result.Err;
    ASSERT_EQ(result.Lines.size(), 3u);
    EXPECT_EQ(result.Lines[0], " #1  00:00:01:00  00:00:03:00  auto  auto  "
                               "\xe5\xa4\xa9\xe9\xbb\x91\xe4\xb9\x8b\xe5\x89\x8d\\N"
                               "\xe6\x88\x91\xe4\xbb\xac\xe8\xb5\xb0");
    EXPECT_EQ(result.Lines[1],
              " #2  00:00:02:50  00:00:04:00  auto  auto  \xe7\x81\xaf  <- bad timing");
    EXPECT_EQ(result.Lines.back(), "lines: 2, bad timings: 1");
}

TEST_F(ListCommandTest, TimesRepairedAtTheChosenRate)
{
    // 150 ms lasts nine frames at 59.94 but under six at 23.976 and 25.
    const QString path = Write("short.srt", "1\n00:00:01,000 --> 00:00:01,150\nShort\n\n"
                                            "2\n00:00:01,200 --> 00:00:03,000\nNext\n");
    struct Case {
        QStringList Fps;
        std::vector<std::string> Lines;
    } cases[] = {
        {{},
         {" #1  00:00:01:00  00:00:01:25  auto  auto  Short",
          " #2  00:00:01:25  00:00:03:00  auto  auto  Next", "lines: 2, bad timings: 0"}},
        {{"--fps", "25"},
         {" #1  00:00:01:00  00:00:01:24  auto  auto  Short",
          " #2  00:00:01:24  00:00:03:00  auto  auto  Next", "lines: 2, bad timings: 0"}},
        {{"--fps", "59.94"},
         {" #1  00:00:01:00  00:00:01:15  auto  auto  Short",
          " #2  00:00:01:20  00:00:03:00  auto  auto  Next", "lines: 2, bad timings: 0"}},
    };
    for (const Case& c : cases) {
        const SResult result = List(c.Fps + QStringList{path});
        ASSERT_EQ(result.Status, 0) << result.Err;
        EXPECT_EQ(result.Lines, c.Lines) << c.Fps.join(' ').toStdString();
    }
    const SResult unknown = List({"--fps", "30", path});
    EXPECT_EQ(unknown.Status, 1);
    EXPECT_EQ(unknown.Err, "tandeo list: unknown frame rate 30\n");
}

TEST_F(ListCommandTest, FailuresAndUsage)
{
    const QString xml = Write("a.xml", "<xml/>");
    const SResult unknown = List({xml});
    EXPECT_EQ(unknown.Status, 2);
    EXPECT_EQ(Messages.Shown, std::vector<QString>{xml + "\r\nUnknown subtitle format! "});

    for (const QStringList& args :
         {QStringList{}, QStringList{"a.srt", "b.srt"}, QStringList{"--video-size", "big", "a.srt"},
          QStringList{"--page", "left", "a.srt"}}) {
        const SResult usage = List(args);
        EXPECT_EQ(usage.Status, 1) << args.join(' ').toStdString();
        EXPECT_FALSE(usage.Err.empty());
    }
}

TEST_F(ListCommandTest, MicroDvdFramesCountAtTheScriptsOwnRateOrTheBuildRate)
{
    const struct {
        const char* Name;
        QByteArray Script;
        QStringList Options;
        std::string Line;
    } cases[] = {
        {"the script's own rate", "{1}{1}25\n{25}{75}a\n", {}, " #1  00:00:01:00  00:00:03:00"},
        {"the script's rate wins over --fps",
         "{1}{1}25\n{25}{75}a\n",
         {"--fps", "59.94"},
         " #1  00:00:01:00  00:00:03:00"},
        {"--fps without a rate line",
         "{25}{75}a\n",
         {"--fps", "50"},
         " #1  00:00:00:50  00:00:01:50"},
        {"neither: the default film rate", "{25}{75}a\n", {}, " #1  00:00:01:04  00:00:03:12"},
    };
    for (const auto& c : cases) {
        const SResult result = List(QStringList{Write("frames.srt", c.Script)} + c.Options);
        ASSERT_EQ(result.Status, 0) << c.Name << result.Err;
        ASSERT_EQ(result.Lines.size(), 2u) << c.Name;
        EXPECT_EQ(result.Lines[0], c.Line + "  auto  auto  a") << c.Name;
    }
}

TEST_F(ListCommandTest, CodePageOption)
{
    // Too little Cyrillic for the detector to be sure: without the option
    // the bytes read as the default code page.
    const QString path =
        QString(TANDEO_FIXTURES_DIR) + "/realworld/JuvoPlayer/media_player_subs_windows-1251.srt";
    const SResult chosen = List({"--code-page", "1251", path});
    ASSERT_EQ(chosen.Status, 0) << chosen.Err;
    EXPECT_EQ(chosen.Lines[0], " #1  00:00:00:50  00:00:01:00  auto  auto  [Cyrylic] 0.5: "
                               "Жж Зз Кк Лл Ыы Чч Щщ Ъъ Ыы Юю Яя");
    const SResult unchosen = List({path});
    ASSERT_EQ(unchosen.Status, 0) << unchosen.Err;
    EXPECT_EQ(unchosen.Lines[0].find("Жж"), std::string::npos) << unchosen.Lines[0];

    const SResult unknown = List({"--code-page", "12345", path});
    EXPECT_EQ(unknown.Status, 1);
    EXPECT_EQ(unknown.Err, "tandeo list: unknown code page 12345 (a Windows code page number "
                           "such as 936, 950, 932, 1251 or 1256)\n");
}

// Files our readers take under any name now open as sources: MicroDVD and
// SubRip in ".sub" files, TMPlayer and MPL2 in ".txt" files.
TEST_F(ListCommandTest, RealFilesChosenByContent)
{
    struct Case {
        const char* Path;
        const char* First;
        const char* Last;
    } cases[] = {
        {"gaupol/microdvd.sub",
         // The first two lines start before the film: they begin at 0.
         " #1  00:00:00:00  00:00:00:25  auto  auto  I always wanted to leave my country\\Nand go "
         "somewhere else.",
         "lines: 10, bad timings: 0"},
        {"SubtitlesParser/Fight Club_eng.sub",
         " #1  00:00:36:49  00:00:38:48  auto  auto  (rock music)", "lines: 2000, bad timings: 0"},
        {"gaupol/tmplayer.txt",
         " #1  00:00:00:00  00:00:03:90  auto  auto  I always wanted to leave my country\\Nand go "
         "somewhere else.",
         "lines: 10, bad timings: 2"},
        {"gaupol/mpl2.txt",
         " #1  00:00:00:00  00:00:00:90  auto  auto  I always wanted to come to France.",
         "lines: 9, bad timings: 0"},
    };
    for (const Case& c : cases) {
        const SResult result = List({QString(TANDEO_FIXTURES_DIR) + "/realworld/" + c.Path});
        ASSERT_EQ(result.Status, 0) << c.Path << ": " << result.Err;
        ASSERT_FALSE(result.Lines.empty()) << c.Path;
        EXPECT_EQ(result.Lines.front(), c.First) << c.Path;
        EXPECT_EQ(result.Lines.back(), c.Last) << c.Path;
    }
    // Only the warnings of the lines that started before 0.
    for (const EMessageKind kind : Messages.Kinds)
        EXPECT_EQ(kind, EMessageKind::Warning);
}

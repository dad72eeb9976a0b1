#include "cli/Commands.h"

#include "pgs/StreamReader.h"
#include "support/OpaqueColours.h"
#include "support/RecordedMessages.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sstream>

namespace {

class BuildCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        Settings = Write("Tandeo.ini", "[Bottom]\nFontSize=40\n");
        Top = Write("top.srt", "1\n00:00:01,000 --> 00:00:02,000\nTop\n");
        Bottom = Write("bottom.srt", "1\n00:00:01,000 --> 00:00:02,000\nBottom\n");
    }

    QString Write(const QString& name, const QByteArray& bytes)
    {
        QFile file(Dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    struct SResult {
        int Status;
        std::string Out;
        std::string Err;
    };

    SResult Build(QStringList args)
    {
        args.prepend("build");
        args << "--settings" << Settings << "--quiet";
        std::ostringstream out;
        std::ostringstream err;
        const int status = RunCommandLine(args, out, err);
        return {status, out.str(), err.str()};
    }

    QTemporaryDir Dir;
    QString Settings;
    QString Top;
    QString Bottom;
    CRecordedMessages Messages;
};

}  // namespace

TEST_F(BuildCommandTest, WrongUsage)
{
    const QStringList cases[] = {
        {"--top", "a.srt"},
        {"-o", "out.sup"},
        {"--top", "a.srt", "-o", "out.sup", "--video-size", "1000x1000"},
        {"--top", "a.srt", "-o", "out.sup", "--fps", "30"},
        {"--top", "a.srt", "-o", "out.sup", "--matrix", "2020"},
        {"--top", "a.srt", "-o", "out.sup", "--set", "FontSize"},
        {"--top", "a.srt", "-o", "out.sup", "--colour", "red"},
    };
    for (const QStringList& args : cases) {
        const SResult result = Build(args);
        EXPECT_EQ(result.Status, 1) << args.join(' ').toStdString();
        EXPECT_FALSE(result.Err.empty());
    }
    const SResult matrix = Build({"--top", "a.srt", "-o", "out.sup", "--matrix", "2020"});
    EXPECT_EQ(matrix.Err, "tandeo build: the matrix is auto, 601 or 709\n");
    const SResult help = Build({"--help"});
    EXPECT_EQ(help.Status, 0);
    EXPECT_EQ(help.Out.rfind("usage: tandeo build", 0), 0u);
    EXPECT_NE(help.Out.find(" [--matrix auto|601|709]\n"), std::string::npos);
    EXPECT_NE(help.Out.find("\n  --matrix      palette colours: auto (BT.709 for HD frames, "
                            "BT.601 for SD; the default), 601 or 709\n"),
              std::string::npos);
    EXPECT_NE(help.Out.find("\n  --strict      refuse a frame size and rate that no HD Blu-ray "
                            "disc allows\n"),
              std::string::npos);
}

TEST_F(BuildCommandTest, ChecksOfTheBuildCommand)
{
    const QString out = Dir.filePath("out.sup");
    const QString bad = Write("bad.srt", "1\n00:00:01,000 --> 00:00:03,000\na\n\n"
                                         "2\n00:00:02,000 --> 00:00:04,000\nb\n");
    struct Case {
        const char* Name;
        QStringList Args;
        QString Message;
    } cases[] = {
        {"bad times",
         {"--top", Top, "--bottom", bad, "-o", out},
         bad + "\n1 timing error(s) found, please fix first!"},
        {"directions conflict",
         {"--top", Top, "--bottom", Bottom, "-o", out, "--set", "Top/Direction=1"},
         "The direction of two subtitles confilcts! "},
        {"unsupported output",
         {"--bottom", Bottom, "-o", Dir.filePath("out.xml")},
         "Output format is not supported! "},
        {"unknown script",
         {"--bottom", Write("b.txt", "x"), "-o", out},
         Dir.filePath("b.txt") + "\r\nUnknown subtitle format! "},
    };
    for (const Case& c : cases) {
        Messages.Shown.clear();
        const SResult result = Build(c.Args);
        EXPECT_EQ(result.Status, 2) << c.Name;
        EXPECT_EQ(Messages.Shown, std::vector<QString>{c.Message}) << c.Name;
        EXPECT_FALSE(QFile::exists(out)) << c.Name;
    }

    // --set works on a copy: the settings file stays as it was.
    QFile settings(Settings);
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_EQ(settings.readAll(), "[Bottom]\nFontSize=40\n");
}

TEST_F(BuildCommandTest, AnExistingOutputNeedsForce)
{
    const QString out = Write("old.sup", "older stream");
    const SResult result = Build({"--bottom", Bottom, "-o", out});
    EXPECT_EQ(result.Status, 2);
    EXPECT_EQ(result.Err,
              "tandeo build: " + out.toStdString() + " exists; add --force to replace it\n");
    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "older stream");
}

TEST_F(BuildCommandTest, FrameSizeAndRateNoDiscAllows)
{
    const QString out = Dir.filePath("out.sup");
    const QString built = out + "\nwas built sucessfully ! ";
    const QString notBluRay = "720x576 at 29.97 is not a Blu-ray format";
    const QString uhdOnly = "1920x1080 at 59.94 is only allowed on UHD discs";
    struct Case {
        const char* Name;
        QStringList Args;
        int Status;
        std::vector<QString> Shown;
        std::vector<EMessageKind> Kinds;
    } cases[] = {
        {"no disc: a warning, then the build",
         {"--video-size", "720x576", "--fps", "29.97"},
         0,
         {notBluRay, built},
         {EMessageKind::Warning, EMessageKind::Information}},
        {"no disc, strict: refused",
         {"--video-size", "720x576", "--fps", "29.97", "--strict"},
         2,
         {notBluRay},
         {EMessageKind::Error}},
        {"UHD only: a warning, then the build",
         {"--fps", "59.94"},
         0,
         {uhdOnly, built},
         {EMessageKind::Warning, EMessageKind::Information}},
        {"UHD only, strict: refused",
         {"--strict", "--fps", "59.94"},
         2,
         {uhdOnly},
         {EMessageKind::Error}},
        {"an HD format, strict: built",
         {"--video-size", "1280x720", "--fps", "59.94", "--strict"},
         0,
         {built},
         {EMessageKind::Information}},
    };
    for (const Case& c : cases) {
        Messages.Shown.clear();
        Messages.Kinds.clear();
        QFile::remove(out);
        const SResult result = Build(QStringList{"--bottom", Bottom, "-o", out} + c.Args);
        EXPECT_EQ(result.Status, c.Status) << c.Name << ": " << result.Err;
        EXPECT_EQ(Messages.Shown, c.Shown) << c.Name;
        EXPECT_EQ(Messages.Kinds, c.Kinds) << c.Name;
        EXPECT_EQ(QFile::exists(out), c.Status == 0) << c.Name;
    }
}

TEST_F(BuildCommandTest, PaletteMatrixByFrameSize)
{
    // A red line without outline or shadow: its solid inside is one opaque
    // palette entry of pure red, in the matrix the build chose.
    const QString red = Write("red.srt", "1\n00:00:01,000 --> 00:00:02,000\nRED\n");
    struct Case {
        const char* Size;
        const char* Fps;  // one the frame's discs allow
        const char* Matrix;
        SYCrCb Expected;
        SYCrCb Other;
    } cases[] = {
        {"1920x1080", "23.976", nullptr, RedBt709, RedBt601},
        {"1280x720", "59.94", nullptr, RedBt709, RedBt601},
        {"720x576", "25", nullptr, RedBt601, RedBt709},
        {"720x480", "29.97", "auto", RedBt601, RedBt709},
        {"1920x1080", "23.976", "auto", RedBt709, RedBt601},
        {"1920x1080", "23.976", "601", RedBt601, RedBt709},
        {"720x576", "25", "709", RedBt709, RedBt601},
    };
    for (const Case& c : cases) {
        const std::string name =
            std::string(c.Size) + " with " + (c.Matrix ? c.Matrix : "no --matrix");
        const QString out =
            Dir.filePath(QString("red-%1-%2.sup").arg(c.Size, c.Matrix ? c.Matrix : "none"));
        QStringList args{"--bottom",
                         red,
                         "-o",
                         out,
                         "--video-size",
                         c.Size,
                         "--fps",
                         c.Fps,
                         "--set",
                         "Bottom/TextColor=255",  // 0x00BBGGRR
                         "--set",
                         "Bottom/OutlineThickness=0",
                         "--set",
                         "Bottom/EnableShadow=0"};
        if (c.Matrix)
            args << "--matrix" << c.Matrix;
        Messages.Shown.clear();
        const SResult result = Build(args);
        ASSERT_EQ(result.Status, 0) << name << ": " << result.Err;
        EXPECT_EQ(Messages.Shown, std::vector<QString>{out + "\nwas built sucessfully ! "}) << name;
        SStreamContent content = ReadStreamFile(out);
        ASSERT_TRUE(content.Ok()) << name << ": " << content.Error;
        const std::set<SYCrCb> colours = OpaqueColours(TakeDisplaySets(content));
        EXPECT_EQ(colours.count(c.Expected), 1u) << name;
        EXPECT_EQ(colours.count(c.Other), 0u) << name;
    }
}

TEST_F(BuildCommandTest, ShortLinesRepairedAtTheBuildRate)
{
    // 150 ms from 1 s: six frames at 23.976 are 250 ms, so the line is
    // lengthened there; at 59.94 its nine frames are kept.
    const QString script = Write("short.srt", "1\n00:00:01,000 --> 00:00:01,150\nShort\n");
    struct Case {
        const char* Fps;
        std::uint32_t Shown;    // PTS of the set that shows the line
        std::uint32_t Cleared;  // PTS of the set that clears it
    } cases[] = {
        {"23.976", 90090, 112613},  // frames 24 to 30
        {"59.94", 90090, 103604},   // frames 60 to 69
    };
    for (const Case& c : cases) {
        const QString out = Dir.filePath(QString("short-%1.sup").arg(c.Fps));
        const SResult result =
            Build({"--bottom", script, "-o", out, "--video-size", "1280x720", "--fps", c.Fps});
        ASSERT_EQ(result.Status, 0) << c.Fps << ": " << result.Err;
        SStreamContent content = ReadStreamFile(out);
        ASSERT_TRUE(content.Ok()) << content.Error;
        const CEpochData sets = TakeDisplaySets(content);
        ASSERT_EQ(sets.size(), 2u) << c.Fps;
        EXPECT_EQ(sets[0].Pcs.PTS, c.Shown) << c.Fps;
        EXPECT_EQ(sets[1].Pcs.PTS, c.Cleared) << c.Fps;
    }
}

TEST_F(BuildCommandTest, ALinePastTheStreamClockIsRefused)
{
    const QString late = Write("late.srt", "1\n00:00:01,000 --> 00:00:02,000\nEarly\n\n"
                                           "2\n13:19:58,000 --> 13:20:00,000\nLate\n");
    struct Case {
        const char* Output;
        const char* Limit;
    } cases[] = {{"late.sup", "13:15:21.858"}, {"late.pes", "13:05:21.858"}};
    for (const Case& c : cases) {
        Messages.Shown.clear();
        Messages.Kinds.clear();
        const QString out = Dir.filePath(c.Output);
        const SResult result = Build({"--top", Top, "--bottom", late, "-o", out});
        EXPECT_EQ(result.Status, 2) << c.Output;
        EXPECT_EQ(Messages.Shown,
                  std::vector<QString>{late + "\r\nLine 2 ends at 13:20:00.000, after " + c.Limit +
                                       ", the last time a stream can hold. "})
            << c.Output;
        EXPECT_EQ(Messages.Kinds, std::vector<EMessageKind>{EMessageKind::Error}) << c.Output;
        EXPECT_FALSE(QFile::exists(out)) << c.Output;
        EXPECT_FALSE(QFile::exists(out + ".mui")) << c.Output;
    }
}

TEST_F(BuildCommandTest, OverlappingLinesRefusedTrimmedOrJoined)
{
    const QString script = Write("overlap.srt", "1\n00:00:01,000 --> 00:00:03,000\none\n\n"
                                                "2\n00:00:02,500 --> 00:00:04,000\ntwo\n");
    const QString trimmed = script + "\nline 1: ends at 00:00:02,500 where line 2 starts (trimmed)";
    const QString joined =
        script + "\nline 2: shown with line 1 from 00:00:02,500 to 00:00:03,000 (joined)";
    struct Case {
        const char* Name;
        QStringList Args;
        int Status;
        std::vector<QString> Warnings;  // before the closing message
    } cases[] = {
        {"refused by default", {}, 2, {}},
        {"refused", {"--overlaps", "refuse"}, 2, {}},
        {"trimmed", {"--overlaps", "trim"}, 0, {trimmed}},
        {"joined", {"--overlaps", "join"}, 0, {joined}},
        {"as the settings say", {"--set", "Build/Overlaps=trim"}, 0, {trimmed}},
        {"the option over the settings",
         {"--set", "Build/Overlaps=trim", "--overlaps", "join"},
         0,
         {joined}},
    };
    for (const Case& c : cases) {
        Messages.Shown.clear();
        const QString out = Dir.filePath(QString("%1.sup").arg(c.Name).replace(' ', '-'));
        const SResult result = Build(QStringList{"--bottom", script, "-o", out} + c.Args);
        EXPECT_EQ(result.Status, c.Status) << c.Name << ": " << result.Err;
        std::vector<QString> expected = c.Warnings;
        expected.push_back(c.Status == 0 ? out + "\nwas built sucessfully ! "
                                         : script + "\n1 timing error(s) found, please fix first!");
        EXPECT_EQ(Messages.Shown, expected) << c.Name;
        EXPECT_EQ(QFile::exists(out), c.Status == 0) << c.Name;
    }

    const SResult bad = Build({"--bottom", script, "-o", "x.sup", "--overlaps", "merge"});
    EXPECT_EQ(bad.Status, 1);
    EXPECT_EQ(bad.Err, "tandeo build: --overlaps takes refuse, trim or join\n");
}

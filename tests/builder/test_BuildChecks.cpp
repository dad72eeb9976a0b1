#include "builder/BuildChecks.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class CLinesOnly : public CSubBase {
public:
    explicit CLinesOnly(int count, int badTimes = 0, int faded = 0)
    {
        for (int i = 0; i < count; ++i) {
            SSubLine line;
            line.source = this;
            line.start = 1000 * i;
            line.end = 1000 * i + 500;
            line.timingOk = i < badTimes ? 0 : 1;
            line.fade = i < faded ? 1 : 0;
            lines.push_back(line);
        }
    }
    bool Load(const QString&, CUserMessages*) override { return true; }
};

}  // namespace

TEST(BuildChecks, MessagesInTheirOrder)
{
    CLinesOnly good(3);
    CLinesOnly bad(4, 3);
    CLinesOnly faded(2, 0, 1);
    CLinesOnly empty(0);
    CLinesOnly fadedAndBad(2, 1, 1);
    const QString top = "/subs/top.srt";
    const QString bottom = "/subs/C:\\a\\sub.srt";
    struct Case {
        const char* Name;
        SBuildPages Pages;
        QString Message;
    } cases[] = {
        {"all well", {{{&good, top, 0}, {&good, bottom, 0}}}, ""},
        {"bad times in the bottom source",
         {{{nullptr, "", 0}, {&bad, bottom, 0}}},
         bottom + "\n3 timing error(s) found, please fix first!"},
        {"bad times name the bottom path first",
         {{{&bad, top, 0}, {&good, bottom, 0}}},
         bottom + "\n3 timing error(s) found, please fix first!"},
        {"bad times counted over both",
         {{{&bad, top, 0}, {&bad, bottom, 0}}},
         bottom + "\n6 timing error(s) found, please fix first!"},
        {"bottom without a path names the top",
         {{{&good, top, 0}, {&bad, "", 0}}},
         top + "\n3 timing error(s) found, please fix first!"},
        {"directions conflict",
         {{{&good, top, 0}, {&good, bottom, 1}}},
         "The direction of two subtitles confilcts! "},
        {"one source, any direction", {{{nullptr, "", 0}, {&good, bottom, 1}}}, ""},
        {"times before directions",
         {{{&bad, top, 0}, {&good, bottom, 1}}},
         bottom + "\n3 timing error(s) found, please fix first!"},
        {"fade with two sources",
         {{{&good, top, 0}, {&faded, bottom, 0}}},
         "Sorry, Double subtitles currently does not support fade effects! "},
        {"fade with one source", {{{&faded, top, 0}, {nullptr, "", 0}}}, ""},
        {"fade beside an empty source", {{{&faded, top, 0}, {&empty, bottom, 0}}}, ""},
        {"directions before fades",
         {{{&faded, top, 2}, {&good, bottom, 0}}},
         "The direction of two subtitles confilcts! "},
        {"times before fades",
         {{{&fadedAndBad, top, 0}, {&good, bottom, 0}}},
         bottom + "\n1 timing error(s) found, please fix first!"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckBeforeBuild(c.Pages), c.Message) << c.Name;
}

TEST(BuildChecks, OutputNames)
{
    struct Case {
        QString Source;
        QString Default;
    } defaults[] = {
        {"/subs/movie.srt", "/subs/movie.sup"}, {"/subs/movie.en.ass", "/subs/movie.en.sup"},
        {"/subs/movie", "/subs/movie.sup"},     {"/sub.s/movie", "/sub.s/movie.sup"},
        {"C:\\a\\sub.srt", "C:\\a\\sub.sup"},   {"/subs/.hidden", "/subs/.sup"},
    };
    for (const Case& c : defaults) {
        CLinesOnly lines(1);
        EXPECT_EQ(DefaultOutputPath({{{&lines, c.Source, 0}, {nullptr, "", 0}}}), c.Default)
            << c.Source.toStdString();
    }
    CLinesOnly lines(1);
    EXPECT_EQ(DefaultOutputPath({{{&lines, "/t.srt", 0}, {&lines, "/b.ass", 0}}}), "/b.sup");
    EXPECT_EQ(DefaultOutputPath({{{nullptr, "", 0}, {nullptr, "", 0}}}), "");

    struct Filter {
        QString Path;
        QString Extension;
        QString Result;
    } filters[] = {
        {"/out/out.sup", ".pes", "/out/out.pes"}, {"/out/out.SUP", ".sup", "/out/out.SUP"},
        {"/out/out", ".sup", "/out/out.sup"},     {"/out/out.txt", "", "/out/out.txt"},
        {"/out.d/out", ".pes", "/out.d/out.pes"},
    };
    for (const Filter& f : filters)
        EXPECT_EQ(ApplyFilterExtension(f.Path, f.Extension), f.Result) << f.Path.toStdString();
}

TEST(BuildChecks, FormatsByExtension)
{
    struct Case {
        QString Path;
        QString Message;
        std::int32_t Format;
    } cases[] = {
        {"/o/a.sup", "", OutputSup},
        {"/o/a.SUP", "", OutputSup},
        {"/o/a.pes", "", OutputPes},
        {"/o/a.Pes", "", OutputPes},
        {"/o/a.xml", "Output format is not supported! ", -1},
        {"/o/a.mkv", "Output format is not supported! ", -1},
        {"/o/a", "Output format is not supported! ", -1},
        {"/o.sup/a", "Output format is not supported! ", -1},
    };
    for (const Case& c : cases) {
        std::int32_t format = -1;
        EXPECT_EQ(OutputFormatOf(c.Path, format), c.Message) << c.Path.toStdString();
        EXPECT_EQ(format, c.Format) << c.Path.toStdString();
    }
}

TEST(BuildChecks, DirectionOfTheBuild)
{
    CLinesOnly lines(2);
    CLinesOnly empty(0);
    SSourceLayouts layouts;
    layouts[0].Direction = 1;
    layouts[1].Direction = 2;
    EXPECT_EQ(BuildDirection(layouts), 2);  // no top source
    layouts[0].source = &empty;
    EXPECT_EQ(BuildDirection(layouts), 2);  // a top source without lines
    layouts[0].source = &lines;
    EXPECT_EQ(BuildDirection(layouts), 1);
}

TEST(BuildChecks, FrameSizeAndRateAgainstTheDiscFormats)
{
    // Rows in the order of the video sizes, columns in the order of the
    // rates: H an HD disc allows it, U only a UHD disc, - no disc.
    const char* const sizes[5] = {"1920x1080", "1440x1080", "1280x720", "720x480", "720x576"};
    const char* const rates[6] = {"23.976", "24", "25", "29.97", "50", "59.94"};
    const char* const allowed[5] = {"HHHHUU", "HHHHUU", "HH--HH", "---H--", "--H---"};
    for (int size = 0; size < 5; ++size) {
        for (int rate = 0; rate < 6; ++rate) {
            const QString pair = QString("%1 at %2").arg(sizes[size], rates[rate]);
            QString expected;
            if (allowed[size][rate] == 'U')
                expected = pair + " is only allowed on UHD discs";
            else if (allowed[size][rate] == '-')
                expected = pair + " is not a Blu-ray format";
            EXPECT_EQ(CheckVideoFormat(size, rate), expected) << pair.toStdString();
        }
    }
    EXPECT_EQ(CheckVideoFormat(0, 5), "1920x1080 at 59.94 is only allowed on UHD discs");
    EXPECT_EQ(CheckVideoFormat(4, 3), "720x576 at 29.97 is not a Blu-ray format");
    EXPECT_THROW(CheckVideoFormat(5, 0), std::out_of_range);
    EXPECT_THROW(CheckVideoFormat(0, 6), std::out_of_range);
}

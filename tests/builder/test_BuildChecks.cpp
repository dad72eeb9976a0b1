#include "builder/BuildChecks.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>
#include <vector>

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

// Lines with the given start and end times, in ms.
class CTimedLines : public CSubBase {
public:
    explicit CTimedLines(const std::vector<std::pair<std::int32_t, std::int32_t>>& times)
    {
        for (const auto& [start, end] : times) {
            SSubLine line;
            line.source = this;
            line.start = start;
            line.end = end;
            lines.push_back(line);
        }
    }
    bool Load(const QString&, CUserMessages*) override { return true; }
};

QString PastTheLimit(const QString& path, int line, const char* end, const char* limit)
{
    return path + "\r\nLine " + QString::number(line) + " ends at " + end + ", after " + limit +
           ", the last time a stream can hold. ";
}

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

TEST(BuildChecks, ColourMatrixByFrameSize)
{
    constexpr EColourMatrix B601 = EColourMatrix::Bt601;
    constexpr EColourMatrix B709 = EColourMatrix::Bt709;
    const EMatrixChoice choices[3] = {EMatrixChoice::Automatic, EMatrixChoice::Bt601,
                                      EMatrixChoice::Bt709};
    // Rows in the order of the video sizes, columns in the order of the
    // choices: automatic takes what HD or SD players convert with, a forced
    // matrix holds on either kind of frame.
    struct Row {
        const char* Size;
        EColourMatrix Expected[3];
    } rows[5] = {
        {"1920x1080", {B709, B601, B709}}, {"1440x1080", {B709, B601, B709}},
        {"1280x720", {B709, B601, B709}},  {"720x480", {B601, B601, B709}},
        {"720x576", {B601, B601, B709}},
    };
    for (int size = 0; size < 5; ++size)
        for (int choice = 0; choice < 3; ++choice)
            EXPECT_EQ(ColourMatrixFor(choices[choice], size), rows[size].Expected[choice])
                << rows[size].Size << ", choice " << choice;
    EXPECT_THROW(ColourMatrixFor(EMatrixChoice::Automatic, 5), std::out_of_range);
    EXPECT_THROW(ColourMatrixFor(EMatrixChoice::Bt709, -1), std::out_of_range);
}

TEST(BuildChecks, LinesPastTheLastTimeOfTheClock)
{
    // The last tick of the 32-bit 90 kHz clock is 13:15:21.858; a line
    // ending later is stamped to the frame, so the last end that still fits
    // depends on the rate. The ".pes" index adds ten minutes to every time.
    const QString top = "/subs/top.srt";
    const QString bottom = "/subs/bottom.srt";
    const char* const supLimit = "13:15:21.858";
    const char* const pesLimit = "13:05:21.858";
    struct Case {
        const char* Name;
        std::int32_t Start;
        std::int32_t End;
        int Rate;
        std::int32_t Format;
        QString Message;
    } cases[] = {
        {"just inside at 23.976", 47700000, 47721819, 0, OutputSup, ""},
        {"just past at 23.976", 47700000, 47721820, 0, OutputSup,
         PastTheLimit(top, 2, "13:15:21.820", supLimit)},
        {"just inside at 25", 47700000, 47721859, 2, OutputSup, ""},
        {"just past at 25", 47700000, 47721860, 2, OutputSup,
         PastTheLimit(top, 2, "13:15:21.860", supLimit)},
        {"just inside at 59.94", 47700000, 47721815, 5, OutputSup, ""},
        {"just past at 59.94", 47700000, 47721816, 5, OutputSup,
         PastTheLimit(top, 2, "13:15:21.816", supLimit)},
        {"just inside a pes at 23.976", 47100000, 47121803, 0, OutputPes, ""},
        {"just past a pes at 23.976", 47100000, 47121804, 0, OutputPes,
         PastTheLimit(top, 2, "13:05:21.804", pesLimit)},
        {"what a sup holds is past a pes", 47700000, 47721819, 0, OutputPes,
         PastTheLimit(top, 2, "13:15:21.819", pesLimit)},
        {"the largest signed time", 47700000, 2147483647, 0, OutputSup,
         PastTheLimit(top, 2, "596:31:23.647", supLimit)},
        {"a negative end is past 2^31 ms", 47700000, -1, 0, OutputSup,
         PastTheLimit(top, 2, "1193:02:47.295", supLimit)},
        {"a negative start cannot end in time", -2000, 1000, 3, OutputSup,
         PastTheLimit(top, 2, "1193:02:45.296", supLimit)},
    };
    for (const Case& c : cases) {
        CTimedLines lines({{1000, 2000}, {c.Start, c.End}});
        CTimedLines others({{1000, 2000}});
        EXPECT_EQ(CheckLineTimes({{{&lines, top, 0}, {&others, bottom, 0}}}, c.Rate, c.Format),
                  c.Message)
            << c.Name;
    }

    // One message, for the first such line: the top/left source's first,
    // then the bottom/right's, each numbered in its own list.
    CTimedLines fine({{1000, 2000}, {3000, 4000}});
    CTimedLines late({{1000, 2000}, {3000, 4000}, {48000000, 48001000}, {49000000, 49001000}});
    EXPECT_EQ(CheckLineTimes({{{&fine, top, 0}, {&late, bottom, 0}}}, 0, OutputSup),
              PastTheLimit(bottom, 3, "13:20:01.000", supLimit));
    EXPECT_EQ(CheckLineTimes({{{&late, top, 0}, {&late, bottom, 0}}}, 0, OutputSup),
              PastTheLimit(top, 3, "13:20:01.000", supLimit));
    EXPECT_EQ(CheckLineTimes({{{nullptr, "", 0}, {&fine, bottom, 0}}}, 0, OutputPes), "");
}

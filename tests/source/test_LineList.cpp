#include "source/SubBase.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>
#include <vector>

namespace {

class CLines : public CSubBase {
public:
    explicit CLines(const std::vector<std::pair<int, int>>& times)
    {
        for (const auto& [start, end] : times) {
            SSubLine line;
            line.source = this;
            line.entryIndex = static_cast<std::int32_t>(lines.size());
            line.start = start;
            line.end = end;
            lines.push_back(line);
        }
    }
    bool Load(const QString&, CUserMessages*) override { return true; }

    std::vector<std::pair<int, int>> Times() const
    {
        std::vector<std::pair<int, int>> times;
        for (const SSubLine& line : lines)
            times.emplace_back(line.start, line.end);
        return times;
    }
};

using Times = std::vector<std::pair<int, int>>;

// Eleven touching lines of `length` ms each, from 0.
Times TouchingRun(int count, int length)
{
    Times times;
    for (int i = 0; i < count; ++i)
        times.emplace_back(i * length, (i + 1) * length);
    return times;
}

}  // namespace

TEST(LineList, TimesRepairedAt23976)
{
    // At the tenth pair both lines are 700 ms: the second gives way.
    Times afterTen = TouchingRun(11, 700);
    afterTen[10].first += 209;
    Times twelve = TouchingRun(12, 700);
    twelve[10].first += 209;

    struct Case {
        const char* Name;
        Times In;
        Times Out;
    } cases[] = {
        {"end 0 runs to the next start", {{1000, 0}, {3000, 4000}}, {{1000, 3000}, {3000, 4000}}},
        {"the last end 0 gets the minimum length",
         {{1000, 2000}, {3000, 0}},
         {{1000, 2000}, {3000, 3250}}},
        {"sorted by start first", {{5000, 6000}, {1000, 2000}}, {{1000, 2000}, {5000, 6000}}},
        {"a short line grows and pushes the next",
         {{1000, 1200}, {1220, 3000}},
         {{1000, 1250}, {1250, 3000}}},
        {"six frames are long enough", {{1000, 1251}, {2000, 3000}}, {{1000, 1251}, {2000, 3000}}},
        {"nine touching pairs change nothing", TouchingRun(10, 700), TouchingRun(10, 700)},
        {"short touching lines change nothing", TouchingRun(14, 600), TouchingRun(14, 600)},
        {"the tenth touching pair gets a gap", TouchingRun(11, 700), afterTen},
        {"then the count starts again", TouchingRun(12, 700), twelve},
        {"the longer first line gives way",
         [] {
             Times t = TouchingRun(10, 500);
             t.back().second = 5700;
             t.emplace_back(5700, 6000);
             return t;
         }(),
         [] {
             Times t = TouchingRun(10, 500);
             t.back().second = 5491;
             t.emplace_back(5700, 6000);
             return t;
         }()},
        {"the longer second line gives way",
         [] {
             Times t = TouchingRun(10, 500);
             t.emplace_back(5000, 6000);
             return t;
         }(),
         [] {
             Times t = TouchingRun(10, 500);
             t.emplace_back(5209, 6000);
             return t;
         }()},
    };
    for (const Case& c : cases) {
        CLines source(c.In);
        source.NormalizeTimes(23.976);
        EXPECT_EQ(source.Times(), c.Out) << c.Name;
    }
}

TEST(LineList, TimesRepairedAtTheRateOfTheBuild)
{
    // Six frames are 250 ms at 23.976 and 100 ms at 59.94; the long line
    // of a touching run is 626 ms and 250 ms, the gap 209 ms and 83 ms.
    Times gapAt5994 = TouchingRun(11, 400);
    gapAt5994[10].first += 83;
    struct Case {
        const char* Name;
        Times In;
        Times At23976;
        Times At5994;
    } cases[] = {
        {"150 ms is six frames only at 59.94",
         {{1000, 1150}, {2000, 3000}},
         {{1000, 1250}, {2000, 3000}},
         {{1000, 1150}, {2000, 3000}}},
        {"90 ms is short at both and pushes the next",
         {{1000, 1090}, {1095, 3000}},
         {{1000, 1250}, {1250, 3000}},
         {{1000, 1100}, {1100, 3000}}},
        {"the last end 0 gets the rate's minimum",
         {{1000, 2000}, {3000, 0}},
         {{1000, 2000}, {3000, 3250}},
         {{1000, 2000}, {3000, 3100}}},
        {"400 ms touching lines are long only at 59.94", TouchingRun(11, 400), TouchingRun(11, 400),
         gapAt5994},
    };
    for (const Case& c : cases) {
        CLines slow(c.In);
        slow.NormalizeTimes(24000.0 / 1001);
        EXPECT_EQ(slow.Times(), c.At23976) << c.Name;
        CLines fast(c.In);
        fast.NormalizeTimes(60000.0 / 1001);
        EXPECT_EQ(fast.Times(), c.At5994) << c.Name;
    }
}

TEST(LineList, RepairedAgainAtAnotherRate)
{
    // Repaired once at 59.94, where 150 ms is long enough; the user then
    // edits the last line and adds a picture without times yet.
    CLines source({{1000, 1150}, {2000, 2150}, {5000, 6000}});
    source.NormalizeTimes(60000.0 / 1001);
    source.lines[2].start = 4000;
    source.lines[2].end = 4500;
    source.InsertImageLine("/p/logo.png", {10, 20}, 1, 0);
    source.InsertImageLine("/p/timed.png", {0, 0}, -1, 0);
    source.lines[4].start = 3000;
    source.lines[4].end = 3100;

    source.RepairTimes(24000.0 / 1001);
    // The text lines and the timed picture grow to 250 ms and the timed
    // picture sorts into its place; the edited line keeps its times; the
    // untimed picture stays second, untimed.
    EXPECT_EQ(source.Times(),
              (Times{{1000, 1250}, {0, 0}, {2000, 2250}, {3000, 3250}, {4000, 4500}}));
    EXPECT_EQ(source.lines[1].imageFile, "/p/logo.png");
    EXPECT_EQ(source.lines[3].imageFile, "/p/timed.png");
    EXPECT_EQ(source.CheckTimings(), 1);
    EXPECT_EQ(source.lines[1].timingOk, 0);
}

TEST(LineList, TimingMarks)
{
    CLines source({{1000, 2000}, {1500, 2500}, {3000, 3000}, {4000, 3500}, {5000, 6000}});
    EXPECT_EQ(source.CheckTimings(), 3);
    const std::uint8_t expected[] = {1, 0, 0, 0, 1};
    for (std::size_t i = 0; i < source.lines.size(); ++i)
        EXPECT_EQ(source.lines[i].timingOk, expected[i]) << i;

    source.lines[1].start = 2000;
    source.CheckLineTiming(1);
    EXPECT_EQ(source.lines[1].timingOk, 1);
    EXPECT_EQ(source.CheckTimings(), 2);
}

TEST(LineList, PictureLinesInAndOut)
{
    CLines source({{1000, 2000}, {3000, 4000}});
    EXPECT_EQ(source.InsertImageLine("/p/a.png", {50, 60}, 1, 1), 1);
    EXPECT_EQ(source.InsertImageLine("/p/b.png", {0, 0}, -1, 0), 3);
    EXPECT_EQ(source.InsertImageLine("/p/c.png", {0, 0}, 99, 0), 4);
    EXPECT_EQ(source.InsertImageLine("/p/d.png", {0, 0}, 0, 0), 0);
    ASSERT_EQ(source.lines.size(), 6u);
    const SSubLine& a = source.lines[2];
    EXPECT_EQ(a.imageFile, "/p/a.png");
    EXPECT_EQ(a.source, &source);
    EXPECT_EQ(a.posX, 50);
    EXPECT_EQ(a.posY, 60);
    EXPECT_EQ(a.insertFlag, 1);
    EXPECT_EQ(a.start, 0);
    EXPECT_EQ(a.end, 0);
    EXPECT_EQ(a.timingOk, 0);
    EXPECT_EQ(source.CheckTimings(), 4);

    source.RemoveLine(2);
    EXPECT_EQ(source.lines.size(), 5u);
    EXPECT_EQ(source.lines[2].start, 3000);
    EXPECT_THROW(source.RemoveLine(5), std::out_of_range);
}

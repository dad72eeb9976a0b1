#include "builder/LineGroups.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

void PrintTo(const SIdleGap& gap, std::ostream* out)
{
    *out << "{" << gap.lastLine << ", " << gap.firstFrame << ", " << gap.lastFrame << "}";
}

void PrintTo(const SLineGroup& group, std::ostream* out)
{
    *out << "{" << group.first0 << ".." << group.last0 << ", " << group.first1 << ".."
         << group.last1 << "}";
}

namespace {

constexpr std::int32_t OpenEnd = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t None = -1;

using Times = std::vector<std::pair<std::int32_t, std::int32_t>>;  // start, end in ms

std::vector<SSubLine> Lines(const Times& times)
{
    std::vector<SSubLine> lines;
    for (const auto& [start, end] : times) {
        SSubLine& line = lines.emplace_back();
        line.start = start;
        line.end = end;
    }
    return lines;
}

// Every line of both sources is in exactly one group, each group has a line,
// and the ranges of each source follow each other in group order.
void ExpectEveryLineOnce(const std::vector<SLineGroup>& groups, std::size_t count0,
                         std::size_t count1)
{
    std::int32_t next0 = 0;
    std::int32_t next1 = 0;
    for (const SLineGroup& group : groups) {
        SCOPED_TRACE(testing::PrintToString(group));
        EXPECT_TRUE(group.first0 != None || group.first1 != None) << "empty group";
        EXPECT_EQ(group.first0 == None, group.last0 == None);
        EXPECT_EQ(group.first1 == None, group.last1 == None);
        if (group.first0 != None) {
            EXPECT_EQ(group.first0, next0);
            EXPECT_LE(group.first0, group.last0);
            next0 = group.last0 + 1;
        }
        if (group.first1 != None) {
            EXPECT_EQ(group.first1, next1);
            EXPECT_LE(group.first1, group.last1);
            next1 = group.last1 + 1;
        }
    }
    EXPECT_EQ(next0, static_cast<std::int32_t>(count0));
    EXPECT_EQ(next1, static_cast<std::int32_t>(count1));
}

}  // namespace

TEST(IdleGaps, PausesOfOneSource)
{
    struct Case {
        const char* Name;
        Times Lines;
        double Rate;
        std::vector<SIdleGap> Gaps;
    } cases[] = {
        {"no lines", {}, 25, {}},
        {"two lines",
         {{1000, 3000}, {5000, 7000}},
         25,
         {{-1, 0, 25}, {0, 75, 125}, {1, 175, OpenEnd}}},
        // Silences of two frames are not pauses, three are; 40 ms a frame.
        {"first line at frame 2", {{80, 1000}}, 25, {{0, 25, OpenEnd}}},
        {"first line at frame 3", {{120, 1000}}, 25, {{-1, 0, 3}, {0, 25, OpenEnd}}},
        {"two-frame silence", {{0, 1000}, {1080, 2000}}, 25, {{1, 50, OpenEnd}}},
        {"three-frame silence", {{0, 1000}, {1120, 2000}}, 25, {{0, 25, 28}, {1, 50, OpenEnd}}},
        {"touching lines", {{1000, 2000}, {2000, 3000}}, 25, {{-1, 0, 25}, {1, 75, OpenEnd}}},
        // 100 s is frame 2398 at 23.976 but 2400 at 24.
        {"exact NTSC rate",
         {{100000, 200000}},
         24000.0 / 1001,
         {{-1, 0, 2398}, {0, 4795, OpenEnd}}},
        // Frames beyond the open end are pinned to it; the end + 2 test
        // must not overflow.
        {"frames past the open end",
         {{0, 2200000}, {2200000, 2200001}},
         1e6,
         {{1, OpenEnd, OpenEnd}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MakeIdleGaps(Lines(c.Lines), c.Rate), c.Gaps) << c.Name;
}

TEST(LineGroups, GroupsOfBothSources)
{
    struct Case {
        const char* Name;
        Times Lines0;
        Times Lines1;
        std::vector<SLineGroup> Groups;
    } cases[] = {
        {"both empty", {}, {}, {}},
        {"source 1 empty",
         {{1000, 3000}, {5000, 7000}},
         {},
         {{0, 0, None, None}, {1, 1, None, None}}},
        {"source 0 empty",
         {},
         {{1000, 3000}, {5000, 7000}},
         {{None, None, 0, 0}, {None, None, 1, 1}}},
        {"overlapping lines", {{1000, 3000}}, {{2000, 6000}}, {{0, 0, 0, 0}}},
        {"touching lines of one source", {{1000, 2000}, {2000, 3000}}, {}, {{0, 1, None, None}}},
        {"touching lines of both sources", {{1000, 2000}}, {{2000, 3000}}, {{0, 0, 0, 0}}},
        {"one line across three",
         {{1000, 10000}},
         {{2000, 3000}, {5000, 6000}, {8000, 9000}},
         {{0, 0, 0, 2}}},
        // Frames: 0 [0, 25] [52, 75], 1 [27, 50] [77, 100]; every common
        // silence is two frames.
        {"interleaved, two-frame silences",
         {{0, 1000}, {2080, 3000}},
         {{1080, 2000}, {3080, 4000}},
         {{0, 1, 0, 1}}},
        // Frames: 0 [0, 25] [53, 75], 1 [27, 50] [78, 100]; silences of 2
        // (kept together), 3 and 3 frames (cut).
        {"interleaved, three-frame silences",
         {{0, 1000}, {2120, 3000}},
         {{1080, 2000}, {3120, 4000}},
         {{0, 0, 0, 0}, {1, 1, None, None}, {None, None, 1, 1}}},
        // Source 1 starts in the silence of source 0 but leaves only two
        // frames of it shared.
        {"own pause not shared", {{1000, 2000}, {3000, 4000}}, {{1500, 2920}}, {{0, 1, 0, 0}}},
    };
    for (const Case& c : cases) {
        const std::vector<SSubLine> lines0 = Lines(c.Lines0);
        const std::vector<SSubLine> lines1 = Lines(c.Lines1);
        const std::vector<SLineGroup> groups = MakeLineGroups(lines0, lines1, 25);
        EXPECT_EQ(groups, c.Groups) << c.Name;
        SCOPED_TRACE(c.Name);
        ExpectEveryLineOnce(groups, lines0.size(), lines1.size());
    }
}

// A line ending within two frames of the open end leaves an open pause too
// narrow to share; the other source's open pause is then walked past
// without its last line being reported. That line must still be grouped.
TEST(LineGroups, LineEndingAtTheOpenEndKeepsTheOtherSourceGrouped)
{
    const std::vector<SSubLine> lines0 = Lines({{0, 2200000}});
    const std::vector<SSubLine> lines1 = Lines({{0, 500}});
    const std::vector<SLineGroup> expected = {{0, 0, 0, 0}};
    EXPECT_EQ(MakeLineGroups(lines0, lines1, 1e6), expected);
    EXPECT_EQ(MakeLineGroups(lines1, lines0, 1e6), (std::vector<SLineGroup>{{0, 0, 0, 0}}));
}

// Reversed lines, lines of one source overlapping each other, lines out of
// order and negative times give odd pauses; no line may be lost or grouped
// twice.
TEST(LineGroups, OddLinesEachLandInOneGroup)
{
    const Times reversed = {{5000, 1000}, {2000, 3000}, {3500, 3400}};
    const Times nested = {{1000, 10000}, {2000, 3000}, {5000, 6000}};
    const Times negative = {{-4000, -1000}, {0, 1000}, {2000, -1}};
    const std::vector<std::pair<Times, Times>> fixed = {{reversed, {}},
                                                        {reversed, nested},
                                                        {nested, reversed},
                                                        {negative, nested},
                                                        {nested, negative}};
    for (const auto& [times0, times1] : fixed) {
        const std::vector<SSubLine> lines0 = Lines(times0);
        const std::vector<SSubLine> lines1 = Lines(times1);
        ExpectEveryLineOnce(MakeLineGroups(lines0, lines1, 25), lines0.size(), lines1.size());
    }

    std::mt19937 random(7);
    std::uniform_int_distribution<std::int32_t> time(-200, 8000);
    std::uniform_int_distribution<int> count(0, 8);
    for (int round = 0; round < 2000; ++round) {
        Times times[2];
        for (Times& t : times) {
            for (int i = count(random); i > 0; --i)
                t.emplace_back(time(random), time(random));
        }
        const std::vector<SSubLine> lines0 = Lines(times[0]);
        const std::vector<SSubLine> lines1 = Lines(times[1]);
        SCOPED_TRACE("round " + std::to_string(round));
        ExpectEveryLineOnce(MakeLineGroups(lines0, lines1, 25), lines0.size(), lines1.size());
        if (HasFailure())
            break;
    }
}

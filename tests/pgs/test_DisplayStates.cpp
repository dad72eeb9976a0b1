#include "pgs/DisplayStates.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

void PrintTo(const SDisplayState& state, std::ostream* out)
{
    *out << "{" << state.eventIndex[0] << ", " << state.eventIndex[1] << ", [" << state.startFrame
         << ", " << state.endFrame << ")}";
}

namespace {

constexpr std::int32_t None = -1;
constexpr std::int32_t Code25 = 3;  // 25 fps: 40 ms a frame

using Times = std::vector<std::pair<std::uint32_t, std::uint32_t>>;  // start, end in ms

SDisplayEvent Event(std::uint32_t start, std::uint32_t end)
{
    SDisplayEvent event;
    event.start = start;
    event.end = end;
    event.image = QImage(10, 10, QImage::Format_ARGB32);
    event.rect = {100, 900, 110, 910};
    return event;
}

SGroupContext Group(const Times& lane0, const Times& lane1)
{
    SGroupContext group;
    group.frameRateCode = Code25;
    for (const auto& [start, end] : lane0)
        group.lanes[0].events.push_back(Event(start, end));
    for (const auto& [start, end] : lane1)
        group.lanes[1].events.push_back(Event(start, end));
    return group;
}

std::vector<std::int32_t> ObjectIds(const SWindowLane& lane)
{
    std::vector<std::int32_t> ids;
    for (const SDisplayEvent& event : lane.events)
        ids.push_back(event.objectId);
    return ids;
}

}  // namespace

TEST(DisplayStates, StatesOfTwoLanes)
{
    struct Case {
        const char* Name;
        Times Lane0;
        Times Lane1;
        std::vector<SDisplayState> States;
    } cases[] = {
        {"overlap",
         {{1000, 3000}},
         {{2000, 6000}},
         {{{0, None}, 25, 50}, {{0, 0}, 50, 75}, {{None, 0}, 75, 150}}},
        {"touching across lanes",
         {{1000, 2000}},
         {{2000, 3000}},
         {{{0, None}, 25, 50}, {{None, 0}, 50, 75}}},
        {"touching in one lane",
         {{1000, 2000}, {2000, 3000}},
         {},
         {{{0, None}, 25, 50}, {{1, None}, 50, 75}}},
        {"only lane 1", {}, {{1000, 2000}}, {{{None, 0}, 25, 50}}},
        // Lane 0 reaches one frame into lane 1: it is cut where lane 1
        // begins.
        {"one-frame overlap",
         {{1000, 2020}},
         {{2000, 3000}},
         {{{0, None}, 25, 50}, {{None, 0}, 50, 75}}},
        // Two frames shown together are a state of their own, too short to
        // keep.
        {"two-frame overlap",
         {{1000, 2080}},
         {{2000, 3000}},
         {{{0, None}, 25, 50}, {{None, 0}, 52, 75}}},
        {"same times", {{1000, 3000}}, {{1000, 3000}}, {{{0, 0}, 25, 75}}},
        // On equal cursors lane 0 goes first: here it is cut at once,
        // before lane 1 could take it in and start one frame late.
        {"same start, lane 0 barely there", {{1000, 1020}}, {{1000, 3000}}, {{{None, 0}, 25, 75}}},
        {"same start, lane 1 ends first",
         {{1000, 3000}},
         {{1000, 2000}},
         {{{0, 0}, 25, 50}, {{0, None}, 50, 75}}},
        {"same start, lane 0 ends first",
         {{1000, 2000}},
         {{1000, 3000}},
         {{{0, 0}, 25, 50}, {{None, 0}, 50, 75}}},
        // A start one frame after the other's joins it from its start, with
        // no one-line state in between; also when lane 1 comes first.
        {"near start, within",
         {{1000, 3000}},
         {{1020, 2000}},
         {{{0, 0}, 25, 50}, {{0, None}, 50, 75}}},
        {"near start, ending later",
         {{1000, 3000}},
         {{1020, 4000}},
         {{{0, 0}, 25, 75}, {{None, 0}, 75, 100}}},
        {"near start, lane 1 first",
         {{1020, 2000}},
         {{1000, 3000}},
         {{{0, 0}, 25, 50}, {{None, 0}, 50, 75}}},
        {"within",
         {{1000, 4000}},
         {{2000, 3000}},
         {{{0, None}, 25, 50}, {{0, 0}, 50, 75}, {{0, None}, 75, 100}}},
        // Two frames apart is no longer a near start; the lead-in of two
        // frames is kept although it is short.
        {"two-frame lead-in, within",
         {{1000, 3000}},
         {{1080, 2000}},
         {{{0, None}, 25, 27}, {{0, 0}, 27, 50}, {{0, None}, 50, 75}}},
        {"two-frame lead-in, ending later",
         {{1000, 3000}},
         {{1080, 4000}},
         {{{0, None}, 25, 27}, {{0, 0}, 27, 75}, {{None, 0}, 75, 100}}},
        // States of four frames are dropped, five kept.
        {"four-frame state between two",
         {{1000, 2000}, {2000, 2160}, {2160, 3000}},
         {},
         {{{0, None}, 25, 50}, {{2, None}, 54, 75}}},
        {"five-frame state between two",
         {{1000, 2000}, {2000, 2200}, {2200, 3000}},
         {},
         {{{0, None}, 25, 50}, {{1, None}, 50, 55}, {{2, None}, 55, 75}}},
        {"zero-length event", {{1000, 1000}, {1000, 2000}}, {}, {{{1, None}, 25, 50}}},
        {"zero-length event within",
         {{1000, 3000}},
         {{2000, 2000}},
         {{{0, None}, 25, 50}, {{0, None}, 50, 75}}},
        // An end of 0 passes the checks; its state runs backwards and is
        // turned round.
        {"end at zero", {{1000, 0}}, {}, {{{0, None}, 0, 25}}},
        {"two events against one",
         {{1000, 3000}, {4000, 5000}},
         {{2000, 6000}},
         {{{0, None}, 25, 50},
          {{0, 0}, 50, 75},
          {{None, 0}, 75, 100},
          {{1, 0}, 100, 125},
          {{None, 0}, 125, 150}}},
    };
    for (const Case& c : cases) {
        SGroupContext group = Group(c.Lane0, c.Lane1);
        std::vector<SDisplayState> states;
        EXPECT_TRUE(MakeDisplayStates(group, states)) << c.Name;
        EXPECT_EQ(states, c.States) << c.Name;
    }
}

TEST(DisplayStates, StatesUseTheNominalRateOfTheCode)
{
    // 23.976 fps: 10 s is frame 240 (24 fps would give the same), 100 s is
    // frame 2398 (not 2400).
    SGroupContext group = Group({{10000, 100000}}, {});
    group.frameRateCode = 1;
    std::vector<SDisplayState> states;
    ASSERT_TRUE(MakeDisplayStates(group, states));
    EXPECT_EQ(states, (std::vector<SDisplayState>{{{0, None}, 240, 2398}}));
}

TEST(DisplayStates, RefusesUnusableGroups)
{
    struct Case {
        const char* Name;
        SDisplayEvent Bad;
    } cases[] = {
        {"null picture",
         [] {
             auto e = Event(4000, 5000);
             e.image = QImage();
             return e;
         }()},
        {"zero-width rectangle",
         [] {
             auto e = Event(4000, 5000);
             e.rect.right = e.rect.left;
             return e;
         }()},
        {"zero-height rectangle",
         [] {
             auto e = Event(4000, 5000);
             e.rect.bottom = e.rect.top - 1;
             return e;
         }()},
        {"negative start", Event(static_cast<std::uint32_t>(-40), 5000)},
        {"negative end", Event(4000, static_cast<std::uint32_t>(-40))},
        {"start after end", Event(5000, 4000)},
    };
    // One bad event spoils the group, in either lane, however good the
    // others are.
    for (const Case& c : cases) {
        for (std::size_t lane = 0; lane < 2; ++lane) {
            SGroupContext group = Group({{1000, 2000}}, {{1000, 3000}});
            group.lanes[lane].events.push_back(c.Bad);
            std::vector<SDisplayState> states(1);
            EXPECT_FALSE(MakeDisplayStates(group, states)) << c.Name << " in lane " << lane;
            EXPECT_TRUE(states.empty()) << c.Name;
            EXPECT_EQ(group.lanes[0].events[0].objectId, None) << c.Name;
        }
    }

    SGroupContext empty = Group({}, {});
    std::vector<SDisplayState> states;
    EXPECT_FALSE(MakeDisplayStates(empty, states)) << "no event";

    // 1000 - 1100 ms is frames 25 - 28: no state is long enough.
    SGroupContext brief = Group({{1000, 1100}}, {{1000, 1100}});
    EXPECT_FALSE(MakeDisplayStates(brief, states)) << "no state";
    EXPECT_TRUE(states.empty());
    EXPECT_EQ(brief.lanes[0].events[0].objectId, None);
}

TEST(DisplayStates, NumbersObjectsInTheOrderShown)
{
    struct Case {
        const char* Name;
        Times Lane0;
        Times Lane1;
        std::vector<std::int32_t> Ids0;
        std::vector<std::int32_t> Ids1;
    } cases[] = {
        {"lane 0 before lane 1 in one state", {{1000, 3000}}, {{1000, 3000}}, {0}, {1}},
        {"lane 1 shown first", {{3000, 4000}}, {{1000, 2000}}, {1}, {0}},
        {"across states", {{1000, 3000}, {4000, 5000}}, {{2000, 6000}}, {0, 2}, {1}},
        // The middle event is only in a dropped state: no object, no number.
        {"event never shown", {{1000, 2000}, {2000, 2080}, {2080, 3000}}, {}, {0, None, 1}, {}},
    };
    for (const Case& c : cases) {
        SGroupContext group = Group(c.Lane0, c.Lane1);
        std::vector<SDisplayState> states;
        ASSERT_TRUE(MakeDisplayStates(group, states)) << c.Name;
        EXPECT_EQ(ObjectIds(group.lanes[0]), c.Ids0) << c.Name;
        EXPECT_EQ(ObjectIds(group.lanes[1]), c.Ids1) << c.Name;
    }
}

// Arbitrary usable events - equal, nested, touching, zero-length, out of
// order - always end the walk with states that name real events, no more
// than two per event. For lanes of ordered, non-overlapping events the
// states also follow each other without overlapping.
TEST(DisplayStates, AnyTimesEndTheWalk)
{
    std::mt19937 random(11);
    std::uniform_int_distribution<std::uint32_t> time(0, 60);
    std::uniform_int_distribution<int> count(0, 6);
    std::bernoulli_distribution ordered(0.5);
    for (int round = 0; round < 3000; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const bool inOrder = ordered(random);
        Times times[2];
        for (Times& t : times) {
            std::uint32_t at = 0;
            for (int i = count(random); i > 0; --i) {
                // Steps of 40 ms, so that equal and touching times are common.
                std::uint32_t start = time(random) * 40;
                std::uint32_t end = start + time(random) * 40 / 4;
                if (inOrder) {
                    start = at + time(random) / 20 * 40;
                    end = start + time(random) * 40;
                    at = end;
                }
                t.emplace_back(start, end);
            }
        }
        SGroupContext group = Group(times[0], times[1]);
        std::vector<SDisplayState> states;
        MakeDisplayStates(group, states);

        const std::size_t events = times[0].size() + times[1].size();
        EXPECT_LE(states.size(), 2 * events);
        std::uint32_t previousEnd = 0;
        for (const SDisplayState& state : states) {
            SCOPED_TRACE(testing::PrintToString(state));
            EXPECT_LT(state.startFrame, state.endFrame);
            EXPECT_TRUE(state.eventIndex[0] != None || state.eventIndex[1] != None);
            for (std::size_t lane = 0; lane < 2; ++lane) {
                EXPECT_GE(state.eventIndex[lane], None);
                EXPECT_LT(state.eventIndex[lane], static_cast<std::int32_t>(times[lane].size()));
            }
            if (inOrder) {
                EXPECT_GE(state.startFrame, previousEnd);
                previousEnd = state.endFrame;
            }
        }
        if (HasFailure())
            break;
    }
}

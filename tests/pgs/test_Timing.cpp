#include "pgs/Timing.h"

#include "SampleEpoch.h"
#include "pgs/ObjectCoding.h"

#include <gtest/gtest.h>

namespace {

// A set on a 1920 x 1080 frame showing one object of the given size in a
// window of its size.
CDsData OneObjectSet(std::uint8_t state, int width, int height)
{
    return MakeDisplaySet(
        state, 0, 1,
        {{0, 100, 100, static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height)}},
        {{0, 0, 0, 100, 100, BandsPicture(width, height)}}, nullptr, 0);
}

}  // namespace

TEST(Timing, MillisecondsToFrames)
{
    struct Case {
        std::uint32_t Ms;
        double Rate;
        std::uint32_t Frame;
    } cases[] = {
        {0, 25, 0},
        {1000, 25, 25},
        {3000, 25, 75},
        {19, 25, 0},
        {20, 25, 1},
        {1000, 24000.0 / 1001, 24},
        {1001, 23.976, 24},
        {41, 23.976, 1},
        {20, 23.976, 0},
        {3600000, 60000.0 / 1001, 215784},
        {4294967295u, 25, 107374182},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MsToFrame(c.Ms, c.Rate), c.Frame) << c.Ms << " ms at " << c.Rate;
}

TEST(Timing, FramesToTicks)
{
    struct Case {
        std::uint32_t Frame;
        double Rate;
        std::uint32_t Ticks;
    } cases[] = {
        {0, 23.976, 0},
        {24, 23.976, 90090},
        {25, 25, 90000},
        {1, 25, 3600},
        {1, 23.976, 3754},
        {1, 59.94, 1502},
        {60, 59.94, 90090},
        {50, 50, 90000},
        {30, 29.97, 90090},
        {24, 24, 90000},
        // 2^32 ticks are about 13 hours 15 minutes; later stamps wrap round.
        {1193046, 25, 4294965600u},
        {1193047, 25, 1904},
        {10, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FrameToTicks(c.Frame, c.Rate), c.Ticks) << c.Frame << " at " << c.Rate;
}

TEST(Timing, DecodeDurations)
{
    CDsData start = OneObjectSet(EpochStart, 600, 80);
    // Plane 5832, object 270 hidden by it, window 135.
    EXPECT_EQ(DecodeDuration(start), 5967u);

    CDsData acquisition = OneObjectSet(AcquisitionPoint, 600, 80);
    EXPECT_EQ(DecodeDuration(acquisition), 405u);

    CDsData clearing = MakeDisplaySet(NormalCase, 0, 1, {{0, 100, 100, 600, 80}}, {}, nullptr, 0);
    EXPECT_EQ(DecodeDuration(clearing), 135u);

    CDsData nothing = MakeDisplaySet(NormalCase, 0, 1, {}, {}, nullptr, 0);
    EXPECT_EQ(DecodeDuration(nothing), 0u);

    // Two objects in two windows, the first large: 1900 x 900 decodes in 9619
    // ticks, 300 x 60 in 102; windows take 4810 and 51.
    CDsData two = MakeDisplaySet(
        NormalCase, 0, 1, {{0, 0, 0, 1900, 900}, {1, 0, 950, 300, 60}},
        {{0, 0, 0, 0, 0, BandsPicture(1900, 900)}, {1, 0, 1, 0, 950, BandsPicture(300, 60)}},
        nullptr, 0);
    EXPECT_EQ(DecodeDuration(two), 9619u + 4810u + 0u + 51u);

    // One decoder takes the objects one after the other: the second of two
    // 600 x 80 objects is ready after 540 ticks, not 270, and its window is
    // written after that.
    CDsData pair = MakeDisplaySet(
        NormalCase, 0, 1, {{0, 0, 0, 600, 80}, {1, 0, 900, 600, 80}},
        {{0, 0, 0, 0, 0, BandsPicture(600, 80)}, {1, 0, 1, 0, 900, BandsPicture(600, 80)}}, nullptr,
        0);
    EXPECT_EQ(DecodeDuration(pair), 270u + 270u + 135u);

    // Both objects in one window: its copy is counted once, after the second
    // object is decoded.
    CDsData shared = MakeDisplaySet(
        NormalCase, 0, 1, {{0, 0, 0, 600, 160}},
        {{0, 0, 0, 0, 0, BandsPicture(600, 80)}, {1, 0, 0, 0, 80, BandsPicture(600, 80)}}, nullptr,
        0);
    EXPECT_EQ(DecodeDuration(shared), 270u + 270u + 270u);

    // A later set of a fade passes the first set's lists: no objects of its own.
    CDsData later = MakeDisplaySet(NormalCase, 0, 1, {}, {}, nullptr, 0);
    later.Pcs.AddObject(start.Pcs.Objects[0]);
    EXPECT_EQ(DecodeDuration(later), 0u);
    EXPECT_EQ(DecodeDuration(later, &*start.Wds, &start.Objects), 405u);
}

TEST(Timing, SegmentStampsOfAShowingSet)
{
    const CErgbPalette palette = SamplePalette();
    CDsData set = MakeDisplaySet(EpochStart, 0, 1, {{0, 0, 0, 1900, 900}},
                                 {{0, 0, 0, 0, 0, NoisePicture(1900, 900, 1)}}, &palette, 0);
    ASSERT_GE(set.Objects.size(), 2u);  // the object takes several fragments
    const std::uint32_t p = 900000;
    const std::uint32_t d = 800000;
    SetDisplaySetTimes(set, p, d);

    EXPECT_EQ(set.Pcs.PTS, p);
    EXPECT_EQ(set.Pcs.DTS, d);
    EXPECT_EQ(set.Wds->PTS, p - 4810);
    EXPECT_EQ(set.Wds->DTS, d);
    EXPECT_EQ(set.Palettes[0].PTS, d);
    EXPECT_EQ(set.Palettes[0].DTS, 0u);
    for (const COds& ods : set.Objects) {
        EXPECT_EQ(ods.DTS, d);
        EXPECT_EQ(ods.PTS, d + 9619);
    }
    EXPECT_EQ(set.End->PTS, d + 9619);
    EXPECT_EQ(set.End->DTS, 0u);
}

TEST(Timing, SegmentStampsOfTwoObjectsFollowEachOther)
{
    CDsData set = MakeDisplaySet(
        NormalCase, 0, 1, {{0, 0, 0, 600, 80}, {1, 0, 900, 300, 60}},
        {{0, 0, 0, 0, 0, BandsPicture(600, 80)}, {1, 0, 1, 0, 900, BandsPicture(300, 60)}}, nullptr,
        0);
    SetDisplaySetTimes(set, 10000, 9000);
    ASSERT_EQ(set.Objects.size(), 2u);
    EXPECT_EQ(set.Objects[0].DTS, 9000u);
    EXPECT_EQ(set.Objects[0].PTS, 9270u);
    EXPECT_EQ(set.Objects[1].DTS, 9270u);
    EXPECT_EQ(set.Objects[1].PTS, 9372u);
    EXPECT_EQ(set.End->PTS, 9372u);
}

TEST(Timing, SegmentStampsOfSetsWithoutObjects)
{
    CDsData clearing = MakeDisplaySet(NormalCase, 0, 1, {{0, 100, 100, 600, 80}}, {}, nullptr, 0);
    SetDisplaySetTimes(clearing, 90000, 90000 - 135);
    EXPECT_EQ(clearing.Wds->PTS, 90000u - 135);
    EXPECT_EQ(clearing.End->PTS, clearing.Wds->PTS);

    // A window copy longer than the time before P starts at D.
    SetDisplaySetTimes(clearing, 90000, 89950);
    EXPECT_EQ(clearing.Wds->PTS, 89950u);

    const CErgbPalette colours = SamplePalette();
    CDsData palette = MakeDisplaySet(NormalCase, 0, 1, {}, {}, &colours, 0);
    SetDisplaySetTimes(palette, 5000, 4000);
    EXPECT_EQ(palette.End->PTS, 4000u);

    CDsData bare = MakeDisplaySet(NormalCase, 0, 1, {}, {}, nullptr, 0);
    SetDisplaySetTimes(bare, 5000, 4000);
    EXPECT_EQ(bare.End->PTS, 5000u);
}

TEST(Timing, StampsNearTheStreamStartAreClampedNotWrapped)
{
    EXPECT_EQ(DecodeStart(90000, 5967), 84033u);
    EXPECT_EQ(DecodeStart(5967, 5967), 0u);
    EXPECT_EQ(DecodeStart(3600, 5967), 0u);

    // A line at frame 1: the Epoch Start set needs more time than there is.
    CDsData set = OneObjectSet(EpochStart, 600, 80);
    const std::uint32_t p = FrameToTicks(1, 25);
    SetDisplaySetTimes(set, p, DecodeStart(p, DecodeDuration(set)));
    EXPECT_EQ(set.Pcs.DTS, 0u);
    EXPECT_EQ(set.Wds->PTS, p - 135);
    EXPECT_EQ(set.Objects[0].DTS, 0u);
    EXPECT_EQ(set.Objects[0].PTS, 270u);

    // The window copy of a clearing set at tick 100 cannot start before 0.
    CDsData clearing = MakeDisplaySet(NormalCase, 0, 1, {{0, 0, 0, 600, 80}}, {}, nullptr, 0);
    SetDisplaySetTimes(clearing, 100, DecodeStart(100, DecodeDuration(clearing)));
    EXPECT_EQ(clearing.Pcs.DTS, 0u);
    EXPECT_EQ(clearing.Wds->PTS, 0u);
}

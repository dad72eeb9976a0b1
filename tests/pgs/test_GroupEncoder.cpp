#include "pgs/GroupEncoder.h"
#include "support/DecodableStream.h"

#include "pgs/StreamReader.h"
#include "pgs/Timing.h"

#include <QBuffer>

#include <gtest/gtest.h>

namespace {

constexpr int Code25 = 3;  // 25 fps: a frame is 3600 ticks

struct SStep {
    int Frame;
    char Kind;  // 'p' palette, 's' plain, 'c' clear
    int Alpha;
};

std::vector<SFadeStep> Steps(std::uint32_t start, const std::vector<SStep>& steps)
{
    std::vector<SFadeStep> out;
    for (const SStep& s : steps)
        out.push_back({(start + static_cast<std::uint32_t>(s.Frame)) * 3600, s.Kind == 'c',
                       s.Kind == 'p', static_cast<std::uint8_t>(s.Alpha)});
    return out;
}

// A two-colour picture with a transparent hole: the exact palette holds it.
QImage Picture(int width, int height, QRgb colour)
{
    QImage picture(width, height, QImage::Format_ARGB32);
    picture.fill(colour);
    picture.setPixel(0, 0, 0);
    picture.setPixel(1, 0, qRgba(0, 0, 0, 255));
    return picture;
}

SDisplayEvent Event(std::uint32_t start, std::uint32_t end, int x, int y, int width = 200,
                    int height = 40, QRgb colour = qRgba(255, 255, 255, 255))
{
    SDisplayEvent event;
    event.start = start;
    event.end = end;
    event.image = Picture(width, height, colour);
    event.rect = {x, y, x + width, y + height};
    return event;
}

struct SEncoded {
    EGroupResult Result;
    CEpochData Sets;
    std::uint16_t Counter;
};

SEncoded Encode(SGroupContext group, std::uint16_t counter = 0)
{
    group.frameRateCode = Code25;
    QBuffer sup;
    sup.open(QIODevice::WriteOnly);
    SEncoded encoded{EncodeGroup(group, sup, nullptr, counter), {}, counter};
    const QByteArray& bytes = sup.data();
    SStreamContent content = ReadSupStream(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                           static_cast<std::size_t>(bytes.size()));
    EXPECT_TRUE(content.Ok()) << content.Error;
    ExpectDecodable(content, "encoded group");
    encoded.Sets = TakeDisplaySets(content);
    return encoded;
}

std::vector<std::uint16_t> ObjectIds(const CDsData& set)
{
    std::vector<std::uint16_t> ids;
    for (const SCompositionObject& object : set.Pcs.Objects)
        ids.push_back(object.ObjectId);
    return ids;
}

// The (object id, version) of every first fragment of the set.
std::vector<std::pair<int, int>> Versions(const CDsData& set)
{
    std::vector<std::pair<int, int>> versions;
    for (const COds& ods : set.Objects) {
        if (ods.FirstInSequence)
            versions.emplace_back(ods.ObjectId, ods.ObjectVersion);
    }
    return versions;
}

}  // namespace

TEST(FadeSteps, StepsOfAState)
{
    std::vector<SStep> quarter;
    const int inAlphas[] = {0, 20, 40, 61, 81, 102, 122, 142, 163, 183, 204, 224, 244};
    for (int k = 0; k < 13; ++k)
        quarter.push_back({2 * k, 'p', inAlphas[k]});
    quarter.push_back({26, 's', 0});
    const int outAlphas[] = {255, 234, 214, 193, 173, 153, 132, 112, 91, 71, 50, 30, 10};
    for (int k = 0; k < 13; ++k)
        quarter.push_back({75 + 2 * k, 'p', outAlphas[k]});
    std::vector<SStep> quarterLast = quarter;
    quarterLast.push_back({100, 'c', 0});

    struct Case {
        const char* Name;
        std::uint32_t Start, End;
        SFadeFrames Frames;
        bool Last;
        std::vector<SStep> Expected;
    } cases[] = {
        {"100 frames, 25 % fades, last", 40, 140, {0, 25, 75, 100}, true, quarterLast},
        {"100 frames, 25 % fades, not last", 40, 140, {0, 25, 75, 100}, false, quarter},
        {"short fade-in and hold",
         0,
         20,
         {0, 5, 20, 20},
         false,
         {{0, 'p', 0}, {2, 'p', 102}, {4, 'p', 204}, {6, 's', 0}}},
        {"no fade", 10, 60, {0, 0, 50, 50}, true, {{0, 'p', 255}, {50, 'c', 0}}},
        {"no fade, not last", 10, 60, {0, 0, 50, 50}, false, {{0, 'p', 255}}},
        // The fade-out may not start before the frame after the hold.
        {"overlapping fades",
         0,
         10,
         {0, 6, 4, 10},
         true,
         {{0, 'p', 0}, {2, 'p', 85}, {4, 'p', 170}, {6, 'p', 255}, {8, 'p', 255}, {10, 'c', 0}}},
        // Without a fade-in, a fade-out from frame 0 starts at frame 2: frame
        // 0 already shows the full picture.
        {"fade-out over the whole line",
         0,
         10,
         {0, 0, 0, 10},
         true,
         {{0, 'p', 255}, {2, 'p', 204}, {4, 'p', 153}, {6, 'p', 102}, {8, 'p', 50}, {10, 'c', 0}}},
    };
    for (const Case& c : cases) {
        std::vector<SFadeStep> steps;
        MakeFadeSteps(c.Start, c.End, c.Frames, SFadeLevels{}, c.Last, 25, steps);
        EXPECT_EQ(steps, Steps(c.Start, c.Expected)) << c.Name;
    }
}

TEST(GroupEncoder, OneLineAlone)
{
    SGroupContext group;
    group.lanes[1].events.push_back(Event(1000, 3000, 660, 900));
    const SEncoded encoded = Encode(group, 7);
    ASSERT_EQ(encoded.Result, EGroupResult::Written);
    ASSERT_EQ(encoded.Sets.size(), 2u);
    EXPECT_EQ(encoded.Counter, 9);

    const CDsData& show = encoded.Sets[0];
    EXPECT_EQ(show.CompositionState, EpochStart);
    EXPECT_EQ(show.Pcs.CompositionNumber, 7);
    EXPECT_EQ(show.Pcs.PTS, 25u * 3600);
    EXPECT_EQ(show.Pcs.Video, (SVideoDescriptor{1920, 1080, Code25, 0}));
    ASSERT_EQ(show.Pcs.Objects.size(), 1u);
    EXPECT_EQ(show.Pcs.Objects[0], (SCompositionObject{0, 0, false, false, 660, 900}));
    ASSERT_TRUE(show.Wds.has_value());
    EXPECT_EQ(show.Wds->Windows, (std::vector<SWindow>{{0, 660, 900, 200, 40}}));
    ASSERT_EQ(show.Palettes.size(), 1u);
    EXPECT_EQ(show.Palettes[0].Entries.size(), 3u);  // white, black, transparent
    EXPECT_EQ(Versions(show), (std::vector<std::pair<int, int>>{{0, 0}}));

    const CDsData& clear = encoded.Sets[1];
    EXPECT_EQ(clear.CompositionState, NormalCase);
    EXPECT_EQ(clear.Pcs.CompositionNumber, 8);
    EXPECT_TRUE(clear.Pcs.Objects.empty());
    EXPECT_EQ(clear.Wds->Windows, show.Wds->Windows);
    EXPECT_TRUE(clear.Palettes.empty());
    EXPECT_TRUE(clear.Objects.empty());
    EXPECT_EQ(clear.Pcs.PTS, 75u * 3600);
}

TEST(GroupEncoder, TwoSourcesOverlappingInPart)
{
    SGroupContext group;
    group.lanes[0].events.push_back(Event(1000, 3000, 660, 100));
    group.lanes[1].events.push_back(Event(2000, 6000, 700, 900, 300, 50));
    const SEncoded encoded = Encode(group);
    ASSERT_EQ(encoded.Result, EGroupResult::Written);
    ASSERT_EQ(encoded.Sets.size(), 4u);

    const std::vector<SWindow> windows{{0, 660, 100, 200, 40}, {1, 700, 900, 300, 50}};
    const std::uint8_t states[] = {EpochStart, NormalCase, NormalCase, NormalCase};
    const std::vector<std::uint16_t> shown[] = {{0}, {0, 1}, {1}, {}};
    const std::vector<std::pair<int, int>> versions[] = {{{0, 0}}, {{0, 1}, {1, 0}}, {{1, 1}}, {}};
    const std::uint32_t frames[] = {25, 50, 75, 150};
    for (std::size_t k = 0; k < encoded.Sets.size(); ++k) {
        const CDsData& set = encoded.Sets[k];
        EXPECT_EQ(set.CompositionState, states[k]) << k;
        EXPECT_EQ(set.Pcs.CompositionNumber, k) << k;
        ASSERT_TRUE(set.Wds.has_value()) << k;
        EXPECT_EQ(set.Wds->Windows, windows) << k;
        EXPECT_EQ(ObjectIds(set), shown[k]) << k;
        EXPECT_EQ(Versions(set), versions[k]) << k;
        EXPECT_EQ(set.Palettes.size(), k < 3 ? 1u : 0u) << k;
        EXPECT_EQ(set.Pcs.PTS, frames[k] * 3600) << k;
    }
    EXPECT_EQ(encoded.Sets[1].Pcs.Objects[1].WindowId, 1);
}

TEST(GroupEncoder, ConsecutiveLinesOfOneSource)
{
    SGroupContext group;
    group.lanes[0].events.push_back(Event(1000, 2000, 660, 100));
    group.lanes[0].events.push_back(Event(2000, 3000, 600, 100, 300, 40));
    const SEncoded encoded = Encode(group);
    ASSERT_EQ(encoded.Sets.size(), 3u);
    EXPECT_EQ(encoded.Sets[0].CompositionState, EpochStart);
    EXPECT_EQ(encoded.Sets[1].CompositionState, AcquisitionPoint);
    EXPECT_EQ(encoded.Sets[2].CompositionState, NormalCase);
    // One window over both pictures.
    EXPECT_EQ(encoded.Sets[1].Wds->Windows, (std::vector<SWindow>{{0, 600, 100, 300, 40}}));
    EXPECT_EQ(ObjectIds(encoded.Sets[1]), (std::vector<std::uint16_t>{1}));
}

TEST(GroupEncoder, FadedLineAlone)
{
    const SFadeSettings fade{1, 25, 25};
    SGroupContext group;
    group.lanes[1].events.push_back(Event(1000, 5000, 660, 900));
    group.lanes[1].events[0].fadeSettings = &fade;
    const SEncoded encoded = Encode(group, 3);
    ASSERT_EQ(encoded.Result, EGroupResult::Written);
    ASSERT_EQ(encoded.Sets.size(), 28u);  // 13 in, hold, 13 out, clear

    const CDsData& first = encoded.Sets[0];
    EXPECT_EQ(first.CompositionState, EpochStart);
    EXPECT_FALSE(first.Pcs.PaletteUpdate);
    ASSERT_TRUE(first.Wds.has_value());
    EXPECT_EQ(Versions(first), (std::vector<std::pair<int, int>>{{0, 0}}));
    ASSERT_EQ(first.Palettes.size(), 1u);
    EXPECT_EQ(first.Palettes[0].PaletteVersion, 0);
    for (const SPaletteEntry& entry : first.Palettes[0].Entries)
        EXPECT_EQ(entry.T, 0);

    for (std::size_t k = 1; k < 13; ++k) {
        const CDsData& set = encoded.Sets[k];
        EXPECT_EQ(set.CompositionState, NormalCase) << k;
        EXPECT_TRUE(set.Pcs.PaletteUpdate) << k;
        EXPECT_FALSE(set.Wds.has_value()) << k;
        EXPECT_TRUE(set.Objects.empty()) << k;
        ASSERT_EQ(set.Palettes.size(), 1u) << k;
        EXPECT_EQ(set.Palettes[0].PaletteVersion, k) << k;
        EXPECT_EQ(set.Pcs.CompositionNumber, 3 + k) << k;
    }
    EXPECT_EQ(encoded.Sets[1].Palettes[0].Entries[0].T, 20);  // white at 2/25 of the fade

    const CDsData& hold = encoded.Sets[13];
    EXPECT_TRUE(hold.Wds.has_value());
    EXPECT_EQ(ObjectIds(hold), (std::vector<std::uint16_t>{0}));
    EXPECT_TRUE(hold.Palettes.empty());
    EXPECT_EQ(hold.Pcs.PTS, (25u + 26) * 3600);

    EXPECT_EQ(encoded.Sets[14].Palettes[0].PaletteVersion, 13);
    EXPECT_EQ(encoded.Sets[14].Palettes[0].Entries[0].T, 255);
    const CDsData& clear = encoded.Sets[27];
    EXPECT_TRUE(clear.Pcs.Objects.empty());
    EXPECT_TRUE(clear.Wds.has_value());
    EXPECT_EQ(clear.Pcs.PTS, 125u * 3600);
}

TEST(GroupEncoder, GroupsThatWriteNothing)
{
    struct Case {
        const char* Name;
        SDisplayEvent Event;
    } cases[] = {
        {"zero-width rectangle",
         [] {
             SDisplayEvent e = Event(1000, 3000, 100, 100);
             e.rect.right = e.rect.left;
             return e;
         }()},
        {"no picture",
         [] {
             SDisplayEvent e = Event(1000, 3000, 100, 100);
             e.image = QImage();
             return e;
         }()},
        {"shorter than five frames", Event(1000, 1100, 100, 100)},
        {"past the frame's edge", Event(1000, 3000, 1800, 100)},
    };
    for (const Case& c : cases) {
        SGroupContext group;
        group.lanes[0].events.push_back(c.Event);
        QBuffer sup;
        sup.open(QIODevice::WriteOnly);
        std::uint16_t counter = 5;
        EXPECT_EQ(EncodeGroup(group, sup, nullptr, counter), EGroupResult::NotEncoded) << c.Name;
        EXPECT_EQ(sup.size(), 0) << c.Name;
        EXPECT_EQ(counter, 5) << c.Name;
    }
}

TEST(GroupEncoder, PaletteMatrixAndWriteFailure)
{
    SGroupContext group;
    group.lanes[0].events.push_back(Event(1000, 3000, 100, 100, 200, 40, qRgba(255, 0, 0, 255)));
    group.colourMatrix = EColourMatrix::Bt709;
    const SEncoded encoded = Encode(group);
    ASSERT_FALSE(encoded.Sets.empty());
    const SPaletteEntry& red = encoded.Sets[0].Palettes[0].Entries[1];  // after the black pixel
    EXPECT_EQ(red.Y, 62);
    EXPECT_EQ(red.Cb, 102);

    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    std::uint16_t counter = 0;
    EXPECT_EQ(EncodeGroup(group, readOnly, nullptr, counter), EGroupResult::WriteFailed);
}

#include "pgs/GroupEncoder.h"
#include "support/DecodableStream.h"

#include "pgs/StreamReader.h"
#include "pgs/Timing.h"

#include <QBuffer>
#include <QLinearGradient>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

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

// Encodes the group itself, so that its adjustments and the stream's last
// time stay in it for the next group.
SEncoded EncodeInPlace(SGroupContext& group, std::uint16_t counter = 0)
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

SEncoded Encode(SGroupContext group, std::uint16_t counter = 0)
{
    return EncodeInPlace(group, counter);
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
    EXPECT_EQ(red.Y, 63);
    EXPECT_EQ(red.Cb, 102);

    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    std::uint16_t counter = 0;
    EXPECT_EQ(EncodeGroup(group, readOnly, nullptr, counter), EGroupResult::WriteFailed);
}

TEST(GroupEncoder, LongDialogueStaysWithinWhatADecoderHolds)
{
    struct Case {
        const char* Name;
        int Lines;
        int Width, Height;
        int Wider;                // each line this much wider than the one before
        std::size_t MostObjects;  // ids one epoch may hold
        bool Epochs;              // more than one epoch is needed
    } cases[] = {
        // 150 lines of each source, back to back, all of one size: the ids
        // of lines gone from the screen are used again.
        {"lines of one size", 150, 200, 40, 0, 4, false},
        // Each line wider than any before fits no slot: 300 objects, far
        // more than the 64 ids of an epoch.
        {"ever wider lines", 150, 200, 40, 2, 64, true},
        // Wide pictures fill 4 MiB long before 64 ids.
        {"large pictures", 20, 1500, 120, 10, 23, true},
    };
    for (const Case& c : cases) {
        SGroupContext group;
        for (int i = 0; i < c.Lines; ++i) {
            const auto at = static_cast<std::uint32_t>(1000 + 400 * i);
            const int width = c.Width + c.Wider * i;
            group.lanes[0].events.push_back(Event(at, at + 400, 10, 10, width, c.Height));
            group.lanes[1].events.push_back(
                Event(at + 200, at + 600, 10, 900, width, c.Height, qRgba(255, 255, 0, 255)));
            group.lanes[0].events.back().line = i;
            group.lanes[1].events.back().line = i;
        }
        const SEncoded encoded = EncodeInPlace(group);
        ASSERT_EQ(encoded.Result, EGroupResult::Written) << c.Name;
        std::size_t epochs = 0;
        std::set<int> ids;
        for (const CDsData& set : encoded.Sets) {
            if (set.CompositionState == EpochStart) {
                ++epochs;
                ids.clear();
            }
            for (const SCompositionObject& object : set.Pcs.Objects)
                ids.insert(object.ObjectId);
            EXPECT_LE(ids.size(), c.MostObjects) << c.Name;
        }
        EXPECT_EQ(epochs > 1, c.Epochs) << c.Name << ": " << epochs << " epochs";
        // Every line is still shown.
        EXPECT_TRUE(
            std::none_of(group.adjustments.begin(), group.adjustments.end(),
                         [](const SAdjustment& a) { return a.kind == EAdjustment::NotShown; }))
            << c.Name;
    }
}

TEST(GroupEncoder, WhatTheDecoderCannotHoldIsAdjustedAndRecorded)
{
    // A line at 0 ms cannot be shown before the plane is cleared and its
    // object decoded: it comes later by exactly those ticks.
    SGroupContext first;
    first.lanes[1].events.push_back(Event(0, 2000, 100, 900, 600, 80));
    first.lanes[1].events.back().line = 0;
    const SEncoded atZero = EncodeInPlace(first);
    ASSERT_EQ(atZero.Result, EGroupResult::Written);
    ASSERT_EQ(first.adjustments.size(), 1u);
    const SAdjustment& later = first.adjustments[0];
    EXPECT_EQ(later.kind, EAdjustment::Later);
    EXPECT_EQ(later.line, (std::array<std::int32_t, 2>{-1, 0}));
    EXPECT_FALSE(later.ending);
    EXPECT_EQ(later.wanted, 0u);
    // Plane 5832, object 270 hidden, window 135, one tick so that no DTS is 0.
    EXPECT_EQ(later.given, 5968u);
    EXPECT_EQ(atZero.Sets[0].Pcs.PTS, 5968u);
    EXPECT_EQ(atZero.Sets[0].Pcs.DTS, 1u);

    // Two pictures of the two sources that overlap on the frame share one
    // window and go out as one picture while both show.
    SGroupContext overlapping;
    overlapping.lanes[0].events.push_back(Event(1000, 3000, 100, 500, 600, 80));
    overlapping.lanes[1].events.push_back(
        Event(1000, 3000, 300, 540, 600, 80, qRgba(255, 255, 0, 255)));
    overlapping.lanes[0].events.back().line = 4;
    overlapping.lanes[1].events.back().line = 7;
    const SEncoded merged = EncodeInPlace(overlapping);
    ASSERT_EQ(merged.Result, EGroupResult::Written);
    ASSERT_GE(merged.Sets.size(), 2u);
    ASSERT_TRUE(merged.Sets[0].Wds);
    EXPECT_EQ(merged.Sets[0].Wds->Windows, (std::vector<SWindow>{{0, 100, 500, 800, 120}}));
    ASSERT_EQ(merged.Sets[0].Pcs.Objects.size(), 1u);
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    ASSERT_TRUE(merged.Sets[0].Objects[0].ObjectSize(width, height));
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 120);
    ASSERT_EQ(overlapping.adjustments.size(), 1u);
    EXPECT_EQ(overlapping.adjustments[0].kind, EAdjustment::Merged);
    EXPECT_EQ(overlapping.adjustments[0].line, (std::array<std::int32_t, 2>{4, 7}));

    // A picture of 3 x 5 pixels grows to the 8 x 8 a decoder takes, within
    // the frame.
    SGroupContext tiny;
    tiny.lanes[0].events.push_back(Event(1000, 3000, 1915, 10, 3, 5));
    const SEncoded padded = Encode(tiny);
    ASSERT_EQ(padded.Result, EGroupResult::Written);
    ASSERT_TRUE(padded.Sets[0].Objects[0].ObjectSize(width, height));
    EXPECT_EQ(width, 8);
    EXPECT_EQ(height, 8);
    EXPECT_EQ(padded.Sets[0].Pcs.Objects[0].X, 1912 - 2);

    // A line all of whose states would be too short (3 frames inside a
    // longer one) keeps one state of its own, with the line around it, and
    // is named.
    SGroupContext brief;
    brief.lanes[0].events.push_back(Event(1000, 5000, 100, 100));
    brief.lanes[1].events.push_back(Event(2000, 2120, 100, 900));
    brief.lanes[0].events.back().line = 5;
    brief.lanes[1].events.back().line = 2;
    const SEncoded kept = EncodeInPlace(brief);
    ASSERT_EQ(kept.Result, EGroupResult::Written);
    ASSERT_EQ(brief.adjustments.size(), 1u);
    EXPECT_EQ(brief.adjustments[0].kind, EAdjustment::Kept);
    EXPECT_EQ(brief.adjustments[0].line, (std::array<std::int32_t, 2>{5, 2}));
    EXPECT_EQ(brief.adjustments[0].frames, 3u);
    // Top alone, both for the three frames, top alone again, cleared.
    ASSERT_EQ(kept.Sets.size(), 4u);
    EXPECT_EQ(kept.Sets[1].Pcs.Objects.size(), 2u);
    EXPECT_EQ(kept.Sets[1].Pcs.PTS, FrameToTicks(50, 25));
    EXPECT_EQ(kept.Sets[2].Pcs.Objects.size(), 1u);
    EXPECT_EQ(kept.Sets[2].Pcs.PTS, FrameToTicks(53, 25));
}

TEST(GroupEncoder, EachGroupWaitsForTheLastSetOfTheOneBefore)
{
    // Two groups three frames apart at 25 fps: the second Epoch Start may
    // only be decoded once the first group's clearing set is shown, and its
    // 1900 x 1000 picture takes longer than three frames to decode.
    SGroupContext group;
    group.lanes[1].events.push_back(Event(1000, 2000, 10, 40, 1900, 1000));
    const SEncoded one = EncodeInPlace(group);
    ASSERT_EQ(one.Result, EGroupResult::Written);
    const std::uint32_t cleared = one.Sets.back().Pcs.PTS;
    group.lanes[1].events = {Event(2120, 4000, 10, 40, 1900, 1000)};
    group.lanes[1].events.back().line = 1;
    group.adjustments.clear();
    const SEncoded two = EncodeInPlace(group, one.Counter);
    ASSERT_EQ(two.Result, EGroupResult::Written);
    EXPECT_GE(two.Sets[0].Pcs.DTS, cleared);
    ASSERT_EQ(group.adjustments.size(), 1u);
    EXPECT_EQ(group.adjustments[0].line, (std::array<std::int32_t, 2>{-1, 1}));
    EXPECT_EQ(group.adjustments[0].wanted, FrameToTicks(53, 25));
    EXPECT_EQ(two.Sets[0].Pcs.PTS, two.Sets[0].Pcs.DTS + DecodeDuration(two.Sets[0]));
}

TEST(GroupEncoder, FadesScaleEveryEntryOfAReducedPalette)
{
    // A soft-edged gradient picture: far more than 255 colours, so the
    // palette is a reduction with entries of every alpha.
    QImage picture(300, 60, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        QLinearGradient gradient(0, 0, 300, 60);
        gradient.setColorAt(0, QColor(250, 30, 30));
        gradient.setColorAt(1, QColor(30, 60, 250));
        painter.setBrush(gradient);
        painter.setPen(QPen(QColor(0, 0, 0, 160), 4.5));
        painter.drawEllipse(QRectF(5.5, 5.5, 288.3, 48.7));
    }
    const SFadeSettings fade{1, 25, 25};
    SGroupContext group;
    SDisplayEvent event = Event(1000, 5000, 660, 900, 300, 60);
    event.image = picture.convertToFormat(QImage::Format_ARGB32);
    event.fadeSettings = &fade;
    group.lanes[1].events.push_back(event);
    const SEncoded encoded = Encode(group);
    ASSERT_EQ(encoded.Result, EGroupResult::Written);
    ASSERT_EQ(encoded.Sets.size(), 28u);

    // The first step of the fade-out shows the palette itself.
    const std::vector<SPaletteEntry>& full = encoded.Sets[14].Palettes[0].Entries;
    ASSERT_GT(full.size(), 100u);
    const bool translucent = std::any_of(
        full.begin(), full.end(), [](const SPaletteEntry& e) { return e.T > 0 && e.T < 255; });
    EXPECT_TRUE(translucent);
    const int inAlphas[] = {0, 20, 40, 61, 81, 102, 122, 142, 163, 183, 204, 224, 244};
    for (std::size_t k = 0; k < 13; ++k) {
        const std::vector<SPaletteEntry>& step = encoded.Sets[k].Palettes[0].Entries;
        ASSERT_EQ(step.size(), full.size()) << k;
        for (std::size_t e = 0; e < full.size(); ++e) {
            EXPECT_EQ(step[e].T, full[e].T * inAlphas[k] / 255) << k << " entry " << e;
            EXPECT_EQ(step[e].Y, full[e].Y) << k << " entry " << e;
        }
    }
}

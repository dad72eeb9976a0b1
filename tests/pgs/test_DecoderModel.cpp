// The decoder model over hand-made streams: a clean stream passes, and each
// rule catches a stream built to break it.

#include "SampleEpoch.h"

#include "pgs/DecoderModel.h"
#include "pgs/ObjectCoding.h"
#include "pgs/PaletteEntries.h"
#include "pgs/StreamWriter.h"
#include "pgs/Timing.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

const std::vector<SWindow> Windows{{0, 100, 40, 600, 80}, {1, 100, 900, 600, 80}};

std::uint32_t WindowTicksOf(const CDsData& set)
{
    std::uint64_t pixels = 0;
    if (set.Wds) {
        for (const SWindow& window : set.Wds->Windows)
            pixels += std::uint64_t{window.Width} * window.Height;
    }
    return WindowAreaTicks(pixels);
}

// Stamps a set as the encoder does: decoded as late as it can be, its
// window segment after its decoding starts.
void Stamp(CDsData& set, std::uint32_t presentation)
{
    const std::uint32_t duration = std::max(DecodeDuration(set), WindowTicksOf(set) + 1);
    SetDisplaySetTimes(set, presentation, presentation - duration);
}

CDsData Set(std::uint8_t state, std::uint16_t number, const std::vector<SSampleObject>& objects,
            std::uint32_t presentation, bool palette = true)
{
    static const CErgbPalette Palette = SamplePalette(4);
    CDsData set = MakeDisplaySet(state, number, 1, Windows, objects, palette ? &Palette : nullptr,
                                 presentation);
    Stamp(set, presentation);
    return set;
}

SSampleObject Top(std::uint8_t version = 0)
{
    return {0, version, 0, 100, 40, BandsPicture(600, 80)};
}

SSampleObject Bottom(std::uint8_t version = 0, std::uint16_t id = 1)
{
    return {id, version, 1, 100, 900, BandsPicture(400, 60)};
}

// An Epoch Start with the top line, the bottom line joining it, the top
// line alone again, and the clearing set; then a second epoch.
CEpochData CleanStream()
{
    CEpochData sets;
    sets.push_back(Set(EpochStart, 0, {Top()}, 90000));
    sets.push_back(Set(NormalCase, 1, {Top(1), Bottom()}, 120000));
    sets.push_back(Set(NormalCase, 2, {Top(2)}, 150000));
    sets.push_back(Set(NormalCase, 3, {}, 180000, false));
    sets.push_back(Set(EpochStart, 4, {Bottom(0, 0)}, 200000));
    sets.back().Pcs.Objects[0].WindowId = 1;
    sets.push_back(Set(NormalCase, 5, {}, 230000, false));
    return sets;
}

std::vector<std::uint8_t> Serialise(CEpochData sets)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_EQ(WriteEpoch(sets, buffer, nullptr), EWriteResult::Written);
    const QByteArray& bytes = buffer.data();
    return {bytes.begin(), bytes.end()};
}

SModelReport Check(const CEpochData& sets)
{
    const std::vector<std::uint8_t> bytes = Serialise(sets);
    SStreamContent content = ReadSupStream(bytes.data(), bytes.size());
    EXPECT_TRUE(content.Ok()) << content.Error;
    return CheckDecoderModel(content.Segments);
}

std::size_t Count(const SModelReport& report, ERule rule)
{
    return report.Counts[static_cast<std::size_t>(rule)];
}

std::string Listing(const SModelReport& report)
{
    return FormatModelReport(report);
}

// Rows of two alternating colours: every pixel is a code of its own, so the
// coded data is one byte a pixel plus two a row.
QImage StripedPicture(int width, int height)
{
    QImage picture(width, height, QImage::Format_Indexed8);
    picture.setColorCount(4);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = picture.scanLine(y);
        for (int x = 0; x < width; ++x)
            row[x] = static_cast<std::uint8_t>(1 + (x % 2));
    }
    return picture;
}

TEST(DecoderModel, CleanStreamPasses)
{
    const SModelReport report = Check(CleanStream());
    EXPECT_TRUE(report.Violations.empty()) << Listing(report);
    EXPECT_TRUE(report.Passes(true));
    EXPECT_EQ(report.Figures.DisplaySets, 6u);
    EXPECT_EQ(report.Figures.Epochs, 2u);
    ASSERT_EQ(report.Figures.ObjectBufferUse.size(), 2u);
    EXPECT_EQ(report.Figures.ObjectBufferUse[0], 600u * 80 + 400u * 60);
    EXPECT_EQ(report.Figures.ObjectBufferUse[1], 400u * 60);
    EXPECT_TRUE(report.Figures.HasDecodeMargin);
    EXPECT_EQ(report.Figures.SmallestDecodeMargin, 0);
}

struct SRuleCase {
    const char* Name;
    ERule Rule;
    std::function<void(CEpochData&)> Break;
};

TEST(DecoderModel, EachRuleCatchesItsViolation)
{
    const std::vector<SRuleCase> cases = {
        {"a fragment longer than a segment may be", ERule::SegmentPayload,
         [](CEpochData& s) {
             // 70 x 910 striped pixels code to 65,531 bytes: one fragment
             // of that length still fits the length field.
             const std::vector<std::uint8_t> data = EncodeObjectData(StripedPicture(70, 910));
             COds ods;
             ods.ObjectId = 0;
             ods.FirstInSequence = ods.LastInSequence = true;
             ods.Data = data;
             s[0].Objects = {ods};
             s[0].Wds->Windows[0].Height = 910;
             s[0].Wds->Windows[1].Y = 950;
             Stamp(s[0], 90000);
         }},
        {"overlapping windows", ERule::Windows, [](CEpochData& s) { s[0].Wds->Windows[1].Y = 60; }},
        {"a window that changes inside the epoch", ERule::Windows,
         [](CEpochData& s) { s[2].Wds->Windows[1].Width = 500; }},
        {"a set without WDS that is no palette update", ERule::Windows,
         [](CEpochData& s) { s[2].Wds.reset(); }},
        {"an object that leaves its window", ERule::Placement,
         [](CEpochData& s) { s[0].Pcs.Objects[0].X = 150; }},
        {"a composition of an undefined object", ERule::Placement,
         [](CEpochData& s) {
             s[3].Pcs.AddObject({7, 0, false, false, 100, 40});
         }},
        {"object id 64", ERule::ObjectIds,
         [](CEpochData& s) {
             for (COds& ods : s[4].Objects)
                 ods.ObjectId = 64;
             s[4].Pcs.Objects[0].ObjectId = 64;
         }},
        {"an object of 4 x 4 pixels", ERule::ObjectSize,
         [](CEpochData& s) {
             s[4].Objects.clear();
             AddObjectSegments(s[4], BandsPicture(4, 4), 0, 0);
         }},
        {"a redefinition larger than the slot", ERule::ObjectSize,
         [](CEpochData& s) {
             s[2].Objects.clear();
             AddObjectSegments(s[2], BandsPicture(600, 90), 0, 2);
         }},
        {"an undefined palette", ERule::Palettes, [](CEpochData& s) { s[0].Pcs.PaletteId = 1; }},
        {"palette id 8", ERule::Palettes,
         [](CEpochData& s) {
             s[0].Palettes[0].PaletteId = 8;
             s[0].Pcs.PaletteId = 8;
         }},
        {"a colour outside video range", ERule::PaletteRange,
         [](CEpochData& s) {
             for (CDsData& set : s) {
                 for (CPds& pds : set.Palettes)
                     pds.Entries[1].Y = 5;
             }
         }},
        {"an object redefined two versions on", ERule::Versions,
         [](CEpochData& s) {
             for (COds& ods : s[1].Objects)
                 ods.ObjectVersion = ods.ObjectId == 0 ? 3 : ods.ObjectVersion;
         }},
        {"the same version with other data", ERule::StaleVersion,
         [](CEpochData& s) {
             s[2].Objects.clear();
             AddObjectSegments(s[2], BandsPicture(600, 80, 3), 0, 1);
         }},
        {"a skipped composition number", ERule::CompositionNumber,
         [](CEpochData& s) { s[2].Pcs.CompositionNumber = 9; }},
        {"a stream that opens without Epoch Start", ERule::EpochStart,
         [](CEpochData& s) { s[0].CompositionState = AcquisitionPoint; }},
        {"an Epoch Start decoded while the last epoch shows", ERule::EpochStart,
         [](CEpochData& s) { SetDisplaySetTimes(s[4], 200000, 179000); }},
        {"a DTS over a second before its PTS", ERule::PtsAndDts,
         [](CEpochData& s) { s[1].Objects[0].DTS = 120000 - 95000; }},
        {"a PTS that goes back", ERule::Order, [](CEpochData& s) { Stamp(s[2], 110000); }},
        {"a set presented before it is decoded", ERule::DecodeTime,
         [](CEpochData& s) { SetDisplaySetTimes(s[1], 120000, 119990); }},
        {"two sets decoded at once", ERule::OneDecoder,
         [](CEpochData& s) {
             // The bottom line's set starts decoding while the first set
             // still clears the plane.
             s[1] = Set(NormalCase, 1, {Bottom()}, 120000);
             SetDisplaySetTimes(s[1], 120000, 90000 - 5000);
             SetDisplaySetTimes(s[0], 90000, 90000 - 5967);
         }},
        {"a window set too soon after the last", ERule::Spacing,
         [](CEpochData& s) {
             // The clearing set comes 200 ticks after the last; its two
             // windows take 270 to write.
             SetDisplaySetTimes(s[3], 150200, 150200 - 199);
         }},
        {"a palette update with a window segment", ERule::PaletteOnlyUpdate,
         [](CEpochData& s) { s[2].Pcs.PaletteUpdate = true; }},
        {"an object redefined while it shows", ERule::InUse,
         [](CEpochData& s) {
             // Set 2 sends the top line again before set 1 showing it is up.
             SetDisplaySetTimes(s[2], 150000, 119000);
         }},
        {"the WDS stamped at its DTS", ERule::SegmentTimes,
         [](CEpochData& s) { s[3].Wds->PTS = s[3].Wds->DTS; }},
    };
    for (const SRuleCase& c : cases) {
        CEpochData sets = CleanStream();
        c.Break(sets);
        const SModelReport report = Check(sets);
        EXPECT_GT(Count(report, c.Rule), 0u) << c.Name << "\n" << Listing(report);
        EXPECT_EQ(report.Passes(true), false) << c.Name;
        EXPECT_EQ(report.Passes(false), !IsHardRule(c.Rule)) << c.Name << "\n" << Listing(report);
    }
}

TEST(DecoderModel, BuffersOfTheDecoder)
{
    // Twenty objects of 500 x 500 need 5,000,000 bytes of slots in one
    // epoch; an Epoch Start half way frees the buffer.
    const auto run = [](bool restart) {
        CEpochData sets;
        std::uint32_t at = 90000;
        for (std::uint16_t i = 0; i < 20; ++i, at += 30000) {
            const bool start = i == 0 || (restart && i == 10);
            const std::uint16_t id = restart && i >= 10 ? i - 10 : i;
            CDsData set = MakeDisplaySet(
                start ? EpochStart : AcquisitionPoint, i, 1, {{0, 100, 100, 500, 500}},
                {{id, 0, 0, 100, 100, BandsPicture(500, 500)}}, nullptr, at);
            const CErgbPalette palette = SamplePalette(4);
            set.Palettes.emplace_back();
            FillPds(set.Palettes.back(), palette);
            Stamp(set, at);
            sets.push_back(std::move(set));
        }
        return Check(sets);
    };
    const SModelReport full = run(false);
    EXPECT_EQ(Count(full, ERule::ObjectBuffer), 1u) << Listing(full);
    EXPECT_EQ(full.Figures.ObjectBufferUse, std::vector<std::uint64_t>{5000000u});
    const SModelReport split = run(true);
    EXPECT_TRUE(split.Passes(true)) << Listing(split);
    EXPECT_EQ(split.Figures.ObjectBufferUse, (std::vector<std::uint64_t>{2500000u, 2500000u}));

    // An object of 1,150,000 pixels of short runs codes to over a MiB, all
    // of which must sit in the coded-data buffer at its DTS.
    CEpochData big;
    big.push_back(MakeDisplaySet(EpochStart, 0, 1, {{0, 0, 0, 1150, 1000}},
                                 {{0, 0, 0, 0, 0, StripedPicture(1150, 1000)}}, nullptr, 90000));
    big.back().Palettes.emplace_back();
    FillPds(big.back().Palettes.back(), SamplePalette(4));
    Stamp(big.back(), 90000);
    const SModelReport coded = Check(big);
    EXPECT_EQ(Count(coded, ERule::CodedBuffer), 1u) << Listing(coded);
    EXPECT_GT(coded.Figures.PeakCodedBuffer, CodedBufferBytes);
    EXPECT_EQ(Count(Check(CleanStream()), ERule::CodedBuffer), 0u);
}

TEST(DecoderModel, AtMostEightSetsWaitToBeShown)
{
    // Sets decoded 100 ticks apart and shown 4000 apart: the ninth starts
    // while eight wait.
    const auto run = [](int sets) {
        CEpochData stream;
        for (int k = 0; k < sets; ++k) {
            CDsData set = Set(k == 0 ? EpochStart : NormalCase, static_cast<std::uint16_t>(k), {},
                              50000 + 4000 * k, k == 0);
            SetDisplaySetTimes(set, 50000 + 4000 * k, 10000 + 100 * k);
            stream.push_back(std::move(set));
        }
        return Check(stream);
    };
    EXPECT_EQ(Count(run(8), ERule::BufferedSets), 0u);
    const SModelReport nine = run(9);
    EXPECT_EQ(Count(nine, ERule::BufferedSets), 1u) << Listing(nine);
}

TEST(DecoderModel, ObjectDataFaultsAreViolationsAndUnreadableFilesAreErrors)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::vector<std::uint8_t> bytes = Serialise(CleanStream());
    // The first object's data head declares its width; one more pixel a
    // row leaves every row short.
    CEpochData sets = CleanStream();
    COds& ods = sets[1].Objects[0];
    ods.Data[3] = 0x02;
    ods.Data[4] = 0x59;  // 601 wide
    const std::vector<std::uint8_t> broken = Serialise(sets);
    const QString path = dir.filePath("broken.sup");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(broken.data()), static_cast<qint64>(broken.size()));
    file.close();

    SModelReport report;
    std::string error;
    ASSERT_TRUE(CheckStreamFile(path, report, error)) << error;
    EXPECT_EQ(Count(report, ERule::ObjectData), 1u) << Listing(report);
    EXPECT_FALSE(report.Passes(false));
    // The set before the fault was still looked at.
    EXPECT_EQ(report.Figures.DisplaySets, 1u);

    QFile cut(dir.filePath("cut.sup"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(reinterpret_cast<const char*>(bytes.data()), 25);
    cut.close();
    EXPECT_FALSE(CheckStreamFile(dir.filePath("cut.sup"), report, error));
    EXPECT_NE(error.find("byte 10"), std::string::npos) << error;
}

TEST(DecoderModel, ReportListsTwentyOfARuleThenCounts)
{
    CEpochData sets = CleanStream();
    for (int k = 0; k < 25; ++k) {
        sets.push_back(Set(NormalCase, 100, {}, 300000 + 10000 * k, false));
        sets.back().Pcs.CompositionNumber = 100;
    }
    const SModelReport report = Check(sets);
    // The first of them follows 5, then each repeats 100.
    EXPECT_EQ(Count(report, ERule::CompositionNumber), 25u);
    const std::string text = FormatModelReport(report);
    std::size_t listed = 0;
    for (std::size_t at = text.find(": composition number: "); at != std::string::npos;
         at = text.find(": composition number: ", at + 1))
        ++listed;
    EXPECT_EQ(listed, 20u) << text;
    EXPECT_NE(text.find("... and 5 more composition number violations\n"), std::string::npos);
    EXPECT_NE(text.find("composition number    authoring  25\n"), std::string::npos) << text;
    EXPECT_NE(text.find("smallest decode-time margin: 0.000 ms\n"), std::string::npos);
    EXPECT_TRUE(report.Passes(false));
    EXPECT_FALSE(report.Passes(true));
}

}  // namespace

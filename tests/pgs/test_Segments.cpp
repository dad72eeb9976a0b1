#include "pgs/Segments.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Serialised(CSegmentBase& segment)
{
    Bytes out;
    const std::size_t length = segment.Serialise(out);
    EXPECT_EQ(length, out.size());
    return out;
}

CPcs SamplePcs(std::uint8_t rateCode, std::uint8_t state)
{
    CPcs pcs;
    pcs.Video = {1920, 1080, rateCode, 0};
    pcs.CompositionNumber = 0x1234;
    pcs.CompositionState = state;
    return pcs;
}

}  // namespace

TEST(Segments, PcsWithoutObjectsIsElevenBytes)
{
    CPcs pcs = SamplePcs(1, EpochStart);
    const Bytes expected{0x16, 0x00, 0x0B, 0x07, 0x80, 0x04, 0x38,
                         0x10, 0x12, 0x34, 0x80, 0x00, 0x00, 0x00};
    EXPECT_EQ(Serialised(pcs), expected);
    EXPECT_EQ(pcs.Size, 11);
}

TEST(Segments, PcsFrameRateAndStateBytes)
{
    struct Case {
        std::uint8_t Code;
        std::uint8_t State;
        std::uint8_t RateByte;
        std::uint8_t StateByte;
    } cases[] = {
        {1, NormalCase, 0x10, 0x00},
        {7, AcquisitionPoint, 0x70, 0x40},
        {3, EpochStart, 0x30, 0x80},
        {6, EpochContinue, 0x60, 0xC0},
    };
    for (const Case& c : cases) {
        CPcs pcs = SamplePcs(c.Code, c.State);
        const Bytes out = Serialised(pcs);
        EXPECT_EQ(out[3 + 4], c.RateByte);
        EXPECT_EQ(out[3 + 7], c.StateByte);
    }
}

TEST(Segments, PcsObjectsPlainForcedAndCropped)
{
    CPcs pcs = SamplePcs(2, NormalCase);
    pcs.PaletteUpdate = true;
    pcs.PaletteId = 5;
    SCompositionObject plain;
    plain.ObjectId = 0x0102;
    plain.WindowId = 1;
    plain.X = 0x0304;
    plain.Y = 0x0506;
    SCompositionObject cropped;
    cropped.ObjectId = 7;
    cropped.Cropped = true;
    cropped.Forced = true;
    cropped.X = 10;
    cropped.Y = 20;
    cropped.CropX = 1;
    cropped.CropY = 2;
    cropped.CropWidth = 300;
    cropped.CropHeight = 400;
    ASSERT_NE(pcs.AddObject(plain), nullptr);
    ASSERT_NE(pcs.AddObject(cropped), nullptr);
    EXPECT_EQ(pcs.AddObject(plain), nullptr);
    EXPECT_EQ(pcs.Objects.size(), 2u);

    const Bytes expected{
        0x16, 0x00, 0x23,                                                  // header: 11 + 8 + 16
        0x07, 0x80, 0x04, 0x38, 0x20, 0x12, 0x34, 0x00, 0x80, 0x05, 0x02,  // fixed part
        0x01, 0x02, 0x01, 0x00, 0x03, 0x04, 0x05, 0x06,                    // plain object
        0x00, 0x07, 0x00, 0xC0, 0x00, 0x0A, 0x00, 0x14,                    // cropped and forced
        0x00, 0x01, 0x00, 0x02, 0x01, 0x2C, 0x01, 0x90,                    // crop rectangle
    };
    EXPECT_EQ(Serialised(pcs), expected);
}

TEST(Segments, WdsPdsOdsAndEndLayouts)
{
    CWds wds;
    ASSERT_NE(wds.AddWindow({0, 100, 200, 600, 80}), nullptr);
    ASSERT_NE(wds.AddWindow({1, 0x0102, 0x0304, 0x0506, 0x0708}), nullptr);
    EXPECT_EQ(wds.AddWindow({2, 0, 0, 1, 1}), nullptr);
    EXPECT_EQ(Serialised(wds), (Bytes{0x17, 0x00, 0x13, 0x02,                                //
                                      0x00, 0x00, 0x64, 0x00, 0xC8, 0x02, 0x58, 0x00, 0x50,  //
                                      0x01, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}));

    CPds pds;
    pds.PaletteId = 0;
    pds.PaletteVersion = 3;
    pds.Entries = {{0, 16, 128, 128, 0}, {1, 235, 128, 128, 255}};
    EXPECT_EQ(Serialised(pds), (Bytes{0x14, 0x00, 0x0C, 0x00, 0x03,  //
                                      0x00, 0x10, 0x80, 0x80, 0x00,  //
                                      0x01, 0xEB, 0x80, 0x80, 0xFF}));

    struct OdsCase {
        bool First, Last;
        std::uint8_t Flags;
    } odsCases[] = {
        {true, true, 0xC0}, {true, false, 0x80}, {false, true, 0x40}, {false, false, 0x00}};
    for (const OdsCase& c : odsCases) {
        COds ods;
        ods.ObjectId = 0x0203;
        ods.ObjectVersion = 4;
        ods.FirstInSequence = c.First;
        ods.LastInSequence = c.Last;
        ods.Data = {0xAA, 0xBB};
        EXPECT_EQ(Serialised(ods),
                  (Bytes{0x15, 0x00, 0x06, 0x02, 0x03, 0x04, c.Flags, 0xAA, 0xBB}));
    }

    CEs end;
    EXPECT_EQ(Serialised(end), (Bytes{0x80, 0x00, 0x00}));
}

TEST(Segments, OversizedPayloadIsRefused)
{
    COds ods;
    ods.Data.assign(MaxSegmentPayload - 3, 0x11);  // 4 + data = one byte too many
    Bytes out{0x42};
    EXPECT_EQ(ods.Serialise(out), 0u);
    EXPECT_EQ(out, Bytes{0x42});

    ods.Data.pop_back();
    EXPECT_EQ(ods.Serialise(out), 1 + SegmentHeaderSize + MaxSegmentPayload - 1);
    EXPECT_EQ(ods.Size, MaxSegmentPayload);
}

TEST(Segments, ParseGivesBackWhatWasSerialised)
{
    CPcs pcs = SamplePcs(4, AcquisitionPoint);
    pcs.PaletteUpdate = true;
    SCompositionObject object;
    object.ObjectId = 3;
    object.Cropped = true;
    object.CropWidth = 5;
    pcs.AddObject(object);
    CWds wds;
    wds.AddWindow({1, 2, 3, 4, 5});
    CPds pds;
    pds.PaletteVersion = 9;
    pds.Entries = {{4, 1, 2, 3, 4}};
    COds ods;
    ods.ObjectId = 3;
    ods.FirstInSequence = true;
    ods.Data = {0, 0, 4, 0, 1, 0, 1};
    CEs end;

    std::vector<std::pair<CSegmentBase*, std::unique_ptr<CSegmentBase>>> pairs;
    pairs.emplace_back(&pcs, std::make_unique<CPcs>());
    pairs.emplace_back(&wds, std::make_unique<CWds>());
    pairs.emplace_back(&pds, std::make_unique<CPds>());
    pairs.emplace_back(&ods, std::make_unique<COds>());
    pairs.emplace_back(&end, std::make_unique<CEs>());
    for (auto& [original, parsed] : pairs) {
        const Bytes bytes = Serialised(*original);
        std::string error;
        ASSERT_TRUE(parsed->Parse(bytes.data() + 3, bytes.size() - 3, error))
            << SegmentTypeName(original->Type) << ": " << error;
        parsed->Size = original->Size;
        EXPECT_EQ(Serialised(*parsed), bytes) << SegmentTypeName(original->Type);
    }
    CPcs reread;
    const Bytes bytes = Serialised(pcs);
    std::string error;
    ASSERT_TRUE(reread.Parse(bytes.data() + 3, bytes.size() - 3, error));
    reread.Size = pcs.Size;
    EXPECT_EQ(reread, pcs);
}

TEST(Segments, ParseRefusesMalformedPayloads)
{
    struct Case {
        const char* Name;
        std::uint8_t Type;
        Bytes Payload;
        std::string Error;
    } cases[] = {
        {"short PCS", SegmentPcs, Bytes(10, 0),
         "composition segment of 10 bytes is shorter than 11"},
        {"PCS object missing",
         SegmentPcs,
         {7, 0x80, 4, 0x38, 0x10, 0, 0, 0, 0, 0, 1},
         "composition object 0 runs past the segment's end"},
        {"PCS trailing byte",
         SegmentPcs,
         {7, 0x80, 4, 0x38, 0x10, 0, 0, 0, 0, 0, 0, 9},
         "composition segment has 1 bytes after its objects"},
        {"PCS three objects",
         SegmentPcs,
         {7, 0x80, 4, 0x38, 0x10, 0, 0, 0, 0, 0, 3},
         "composition segment holds 3 objects (at most 2)"},
        {"PCS reserved state bits",
         SegmentPcs,
         {7, 0x80, 4, 0x38, 0x10, 0, 0, 0x81, 0, 0, 0},
         "composition segment has reserved bits set"},
        {"PCS crop cut",
         SegmentPcs,
         {7, 0x80, 4, 0x38, 0x10, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0x80, 0, 0, 0, 0},
         "crop of composition object 0 runs past the segment's end"},
        {"PCS object flags",
         SegmentPcs,
         {7, 0x80, 4, 0x38, 0x10, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0x01, 0, 0, 0, 0},
         "composition object 0 has reserved flag bits set"},
        {"empty WDS", SegmentWds, {}, "window segment is empty"},
        {"WDS count",
         SegmentWds,
         {1, 0, 0, 0, 0, 0, 0, 0, 0},
         "window segment of 9 bytes does not hold 1 windows"},
        {"WDS three", SegmentWds, {3}, "window segment holds 3 windows (at most 2)"},
        {"PDS partial entry",
         SegmentPds,
         {0, 0, 1, 2, 3},
         "palette segment of 5 bytes is not 2 bytes and whole entries"},
        {"short ODS", SegmentOds, {0, 1, 0}, "object segment of 3 bytes is shorter than 4"},
        {"ODS first without head",
         SegmentOds,
         {0, 1, 0, 0x80, 0, 0, 3},
         "first object fragment is too short for the object's length, width and height"},
        {"ODS flags", SegmentOds, {0, 1, 0, 0x41}, "object segment has reserved flag bits set"},
        {"END payload", SegmentEnd, {0}, "end segment carries 1 payload bytes"},
    };
    for (const Case& c : cases) {
        std::unique_ptr<CSegmentBase> segment;
        switch (c.Type) {
        case SegmentPcs: segment = std::make_unique<CPcs>(); break;
        case SegmentWds: segment = std::make_unique<CWds>(); break;
        case SegmentPds: segment = std::make_unique<CPds>(); break;
        case SegmentOds: segment = std::make_unique<COds>(); break;
        default: segment = std::make_unique<CEs>(); break;
        }
        std::string error;
        EXPECT_FALSE(segment->Parse(c.Payload.data(), c.Payload.size(), error)) << c.Name;
        EXPECT_EQ(error, c.Error) << c.Name;
    }
}

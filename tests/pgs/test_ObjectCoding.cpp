#include "pgs/ObjectCoding.h"

#include "SampleEpoch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Repeat(int length, std::uint8_t colour)
{
    return Bytes(static_cast<std::size_t>(length), colour);
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

QImage Picture(const std::vector<Bytes>& rows)
{
    QImage picture(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()),
                   QImage::Format_Indexed8);
    for (std::size_t y = 0; y < rows.size(); ++y)
        std::copy(rows[y].begin(), rows[y].end(), picture.scanLine(static_cast<int>(y)));
    return picture;
}

bool SamePixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return false;
    for (int y = 0; y < a.height(); ++y) {
        if (!std::equal(a.constScanLine(y), a.constScanLine(y) + a.width(), b.constScanLine(y)))
            return false;
    }
    return true;
}

}  // namespace

TEST(ObjectCoding, RowCodes)
{
    struct Case {
        const char* Name;
        Bytes Row;
        Bytes Code;
    } cases[] = {
        {"four of 5", Repeat(4, 5), {0x00, 0x84, 0x05, 0x00, 0x00}},
        {"two of 7", Repeat(2, 7), {0x07, 0x07, 0x00, 0x00}},
        {"one of 7", Repeat(1, 7), {0x07, 0x00, 0x00}},
        {"one of 0", Repeat(1, 0), {0x00, 0x01, 0x00, 0x00}},
        {"three of 9", Repeat(3, 9), {0x00, 0x83, 0x09, 0x00, 0x00}},
        {"63 of 9", Repeat(63, 9), {0x00, 0xBF, 0x09, 0x00, 0x00}},
        {"64 of 9", Repeat(64, 9), {0x00, 0xC0, 0x40, 0x09, 0x00, 0x00}},
        {"100 of 9", Repeat(100, 9), {0x00, 0xC0, 0x64, 0x09, 0x00, 0x00}},
        {"63 of 0", Repeat(63, 0), {0x00, 0x3F, 0x00, 0x00}},
        {"64 of 0", Repeat(64, 0), {0x00, 0x40, 0x40, 0x00, 0x00}},
        {"100 of 0", Repeat(100, 0), {0x00, 0x40, 0x64, 0x00, 0x00}},
        {"1920 of 3", Repeat(1920, 3), {0x00, 0xC7, 0x80, 0x03, 0x00, 0x00}},
        {"1920 of 0", Repeat(1920, 0), {0x00, 0x47, 0x80, 0x00, 0x00}},
        {"16383 of 2", Repeat(16383, 2), {0x00, 0xFF, 0xFF, 0x02, 0x00, 0x00}},
        // One code carries at most 16383 pixels; a longer run takes two.
        {"16384 of 2", Repeat(16384, 2), {0x00, 0xFF, 0xFF, 0x02, 0x02, 0x00, 0x00}},
        {"20000 of 0", Repeat(20000, 0), {0x00, 0x7F, 0xFF, 0x00, 0x4E, 0x21, 0x00, 0x00}},
        {"mixed",
         Concat({Repeat(1, 1), Repeat(2, 0), Repeat(3, 2), Repeat(1, 255)}),
         {0x01, 0x00, 0x02, 0x00, 0x83, 0x02, 0xFF, 0x00, 0x00}},
        {"alternating 0 and 4",
         Concat({Repeat(1, 0), Repeat(1, 4), Repeat(1, 0), Repeat(1, 4)}),
         {0x00, 0x01, 0x04, 0x00, 0x01, 0x04, 0x00, 0x00}},
        {"empty row", {}, {0x00, 0x00}},
    };
    for (const Case& c : cases) {
        Bytes out;
        EncodeObjectRow(c.Row.data(), static_cast<int>(c.Row.size()), out);
        EXPECT_EQ(out, c.Code) << c.Name;
    }
}

TEST(ObjectCoding, ObjectDataHeadAndRows)
{
    const QImage picture = Picture({Repeat(4, 5), Concat({Repeat(2, 0), Repeat(2, 7)})});
    const Bytes data = EncodeObjectData(picture);
    const Bytes expected{0x00, 0x00, 0x0F,  // 15 bytes follow
                         0x00, 0x04, 0x00, 0x02, 0x00, 0x84, 0x05, 0x00,
                         0x00, 0x00, 0x02, 0x07, 0x07, 0x00, 0x00};
    EXPECT_EQ(data, expected);
}

TEST(ObjectCoding, PicturesThatCannotBeCoded)
{
    EXPECT_TRUE(EncodeObjectData(QImage()).empty());
    EXPECT_TRUE(EncodeObjectData(QImage(4, 4, QImage::Format_ARGB32)).empty());

    CDsData set;
    EXPECT_FALSE(AddObjectSegments(set, QImage(4, 4, QImage::Format_ARGB32), 1, 0));
    EXPECT_TRUE(set.Objects.empty());
}

TEST(ObjectCoding, MonochromePictureIsWidened)
{
    QImage mono(9, 2, QImage::Format_Mono);
    mono.fill(0);
    mono.setPixel(8, 1, 1);
    const Bytes data = EncodeObjectData(mono);
    ASSERT_FALSE(data.empty());
    std::string error;
    QImage decoded;
    ASSERT_TRUE(DecodeObjectData(data.data(), data.size(), decoded, error)) << error;
    EXPECT_EQ(decoded.pixelIndex(8, 1), 1);
    EXPECT_EQ(decoded.pixelIndex(7, 1), 0);
}

TEST(ObjectCoding, MostCompactRowsDecode)
{
    // Single long runs are the densest coding there is: the decoder's
    // check of the least data a picture needs must still let them through.
    for (const int width : {1, 63, 64, 16383, 16384, 32766, 65535}) {
        for (const std::uint8_t colour : {0, 7}) {
            QImage picture(width, 3, QImage::Format_Indexed8);
            picture.fill(colour);
            const Bytes data = EncodeObjectData(picture);
            std::string error;
            QImage decoded;
            ASSERT_TRUE(DecodeObjectData(data.data(), data.size(), decoded, error))
                << width << " " << int(colour) << ": " << error;
            EXPECT_TRUE(SamePixels(picture, decoded)) << width << " " << int(colour);
        }
    }
}

TEST(ObjectCoding, DecodeGivesBackTheIndexes)
{
    for (unsigned seed = 1; seed <= 5; ++seed) {
        const QImage picture = NoisePicture(257 + seed * 100, 37, seed, seed == 5 ? 2 : 256);
        const Bytes data = EncodeObjectData(picture);
        std::string error;
        QImage decoded;
        ASSERT_TRUE(DecodeObjectData(data.data(), data.size(), decoded, error)) << error;
        EXPECT_TRUE(SamePixels(picture, decoded)) << seed;
        // The coded size of a row is bounded by 1.5 x width + 2 bytes.
        EXPECT_LE(data.size(), 7 + picture.height() * (picture.width() * 3 / 2 + 2));
    }
}

TEST(ObjectCoding, DecodeRefusesMalformedData)
{
    struct Case {
        const char* Name;
        Bytes Data;
        std::string Error;
    } cases[] = {
        {"short head", {0, 0, 4, 0, 1, 0}, "object data is shorter than its head"},
        {"length disagrees",
         {0, 0, 9, 0, 1, 0, 1, 5, 0, 0},
         "object data length 9 does not match the 7 bytes present"},
        {"row too long",
         {0, 0, 8, 0, 1, 0, 1, 5, 5, 0, 0},
         "row 0 is longer than the object's width 1"},
        {"row too short",
         {0, 0, 7, 0, 0x02, 0, 1, 5, 0, 0},
         "row 0 holds 1 pixels, the object's width is 2"},
        {"row cut", {0, 0, 6, 0, 1, 0, 2, 5, 0}, "run-length data ends inside row 0"},
        {"long run cut", {0, 0, 6, 0, 1, 0, 1, 0, 0xC0}, "run-length data ends inside row 0"},
        {"rows missing", {0, 0, 7, 0, 1, 0, 2, 5, 0, 0}, "run-length data ends inside row 1"},
        {"bytes left over",
         {0, 0, 8, 0, 1, 0, 1, 5, 0, 0, 5},
         "1 bytes follow the object's last row"},
        // Heads far larger than their data: no picture of that size is made,
        // the walk still names the fault.
        {"65535x65535 head over one pixel",
         {0, 0, 7, 0xFF, 0xFF, 0xFF, 0xFF, 5, 0, 0},
         "row 0 holds 1 pixels, the object's width is 65535"},
        {"65535 rows declared, one present",
         {0, 0, 9, 0, 0x40, 0xFF, 0xFF, 0, 0x40, 0x40, 0, 0},
         "run-length data ends inside row 1"},
    };
    for (const Case& c : cases) {
        std::string error;
        QImage picture;
        EXPECT_FALSE(DecodeObjectData(c.Data.data(), c.Data.size(), picture, error)) << c.Name;
        EXPECT_EQ(error, c.Error) << c.Name;
    }
}

TEST(ObjectCoding, FragmentBoundaries)
{
    struct Case {
        std::size_t Length;
        std::vector<std::size_t> Fragments;
    } cases[] = {
        {7, {7}},
        {65515, {65515}},
        {65516, {65515, 1}},
        {131030, {65515, 65515}},
        {131031, {65515, 65515, 1}},
    };
    for (const Case& c : cases) {
        Bytes data(c.Length);
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<std::uint8_t>(i * 31 + i / 251);
        const std::vector<COds> fragments = MakeObjectFragments(data, 42, 3);
        ASSERT_EQ(fragments.size(), c.Fragments.size()) << c.Length;
        Bytes joined;
        for (std::size_t k = 0; k < fragments.size(); ++k) {
            const COds& ods = fragments[k];
            EXPECT_EQ(ods.Type, SegmentOds);
            EXPECT_EQ(ods.ObjectId, 42);
            EXPECT_EQ(ods.ObjectVersion, 3);
            EXPECT_EQ(ods.FirstInSequence, k == 0) << c.Length << " fragment " << k;
            EXPECT_EQ(ods.LastInSequence, k + 1 == fragments.size())
                << c.Length << " fragment " << k;
            EXPECT_EQ(ods.Data.size(), c.Fragments[k]) << c.Length << " fragment " << k;
            joined.insert(joined.end(), ods.Data.begin(), ods.Data.end());
        }
        EXPECT_EQ(joined, data) << c.Length;
    }
}

TEST(ObjectCoding, LargeObjectSpansFragmentsWithItsHeadFirst)
{
    const QImage picture = NoisePicture(1900, 900, 3);
    CDsData set;
    ASSERT_TRUE(AddObjectSegments(set, picture, 5, 1));
    ASSERT_GE(set.Objects.size(), 2u);
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    ASSERT_TRUE(set.Objects.front().ObjectSize(width, height));
    EXPECT_EQ(width, 1900);
    EXPECT_EQ(height, 900);
    EXPECT_FALSE(set.Objects[1].ObjectSize(width, height));

    Bytes joined;
    for (const COds& ods : set.Objects) {
        EXPECT_LE(ods.Data.size(), ObjectFragmentSize);
        joined.insert(joined.end(), ods.Data.begin(), ods.Data.end());
    }
    EXPECT_EQ(joined, EncodeObjectData(picture));
}

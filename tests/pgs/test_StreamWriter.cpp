#include "pgs/StreamWriter.h"

#include "SampleEpoch.h"
#include "pgs/ByteOrder.h"
#include "pgs/MuiIndex.h"

#include <QBuffer>

#include <gtest/gtest.h>

using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Contents(const QBuffer& buffer)
{
    const QByteArray& data = buffer.data();
    return Bytes(data.begin(), data.end());
}

// A device that accepts `room` bytes and then fails, like a full disk.
class CFullDevice : public QIODevice {
public:
    explicit CFullDevice(qint64 room) : Room(room) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 length) override
    {
        if (length > Room)
            return -1;
        Room -= length;
        return length;
    }

private:
    qint64 Room;
};

// The segment types in writing order, read from a SUP stream's framing.
std::vector<std::uint8_t> SupTypes(const Bytes& sup)
{
    std::vector<std::uint8_t> types;
    std::size_t at = 0;
    while (at + 13 <= sup.size()) {
        types.push_back(sup[at + 10]);
        at += 13 + GetU16(&sup[at + 11]);
    }
    return types;
}

}  // namespace

TEST(StreamWriter, DisplaySetCheck)
{
    struct Case {
        std::uint8_t State;
        bool Wds;
        bool Pds;
        bool Accepted;
    } cases[] = {
        {NormalCase, false, false, true},
        {NormalCase, true, true, true},
        {AcquisitionPoint, true, true, true},
        {AcquisitionPoint, false, true, false},
        {AcquisitionPoint, true, false, false},
        {EpochStart, true, true, true},
        {EpochStart, true, false, false},
        {EpochStart, false, true, false},
        {EpochContinue, true, true, true},
        {EpochContinue, false, false, false},
        {4, true, true, false},
        {0xFF, true, true, false},
    };
    for (const Case& c : cases) {
        CDsData set;
        set.CompositionState = c.State;
        if (c.Wds)
            set.Wds.emplace();
        if (c.Pds)
            set.Palettes.emplace_back();
        EXPECT_EQ(CheckDisplaySet(set), c.Accepted) << int(c.State) << c.Wds << c.Pds;
        EXPECT_TRUE(set.End.has_value());
    }
}

TEST(StreamWriter, SupFramingAndSegmentOrder)
{
    CEpochData epoch = MakeSampleEpoch();
    QBuffer sup;
    sup.open(QIODevice::WriteOnly);
    ASSERT_EQ(WriteDisplaySet(epoch[0], sup, nullptr), EWriteResult::Written);
    const Bytes bytes = Contents(sup);

    // "PG", PTS, DTS, then the PCS with the set's own composition state.
    ASSERT_GE(bytes.size(), 10u + 14u);
    EXPECT_EQ(bytes[0], 'P');
    EXPECT_EQ(bytes[1], 'G');
    EXPECT_EQ(GetU32(&bytes[2]), epoch[0].Pcs.PTS);
    EXPECT_EQ(GetU32(&bytes[6]), epoch[0].Pcs.DTS);
    EXPECT_EQ(bytes[10], SegmentPcs);
    EXPECT_EQ(bytes[10 + 3 + 7], 0x80);  // Epoch Start

    std::vector<std::uint8_t> expected{SegmentPcs, SegmentWds, SegmentPds};
    expected.insert(expected.end(), epoch[0].Objects.size(), SegmentOds);
    expected.push_back(SegmentEnd);
    EXPECT_EQ(SupTypes(bytes), expected);
    EXPECT_GT(epoch[0].Objects.size(), 2u);  // the first object takes two fragments
}

TEST(StreamWriter, CompositionStateOfTheSetIsWritten)
{
    CEpochData epoch = MakeSampleEpoch();
    epoch[1].Pcs.CompositionState = EpochStart;  // the set's own byte wins
    QBuffer sup;
    sup.open(QIODevice::WriteOnly);
    ASSERT_EQ(WriteDisplaySet(epoch[1], sup, nullptr), EWriteResult::Written);
    EXPECT_EQ(Contents(sup)[10 + 3 + 7], 0x00);
}

TEST(StreamWriter, ClearingSetIsPcsWdsEnd)
{
    CEpochData epoch = MakeSampleEpoch();
    QBuffer sup;
    sup.open(QIODevice::WriteOnly);
    ASSERT_EQ(WriteDisplaySet(epoch[2], sup, nullptr), EWriteResult::Written);
    EXPECT_EQ(SupTypes(Contents(sup)),
              (std::vector<std::uint8_t>{SegmentPcs, SegmentWds, SegmentEnd}));

    CDsData bare = MakeDisplaySet(NormalCase, 0, 1, {}, {}, nullptr, 0);
    QBuffer only;
    only.open(QIODevice::WriteOnly);
    ASSERT_EQ(WriteDisplaySet(bare, only, nullptr), EWriteResult::Written);
    EXPECT_EQ(SupTypes(Contents(only)), (std::vector<std::uint8_t>{SegmentPcs, SegmentEnd}));
}

TEST(StreamWriter, EpochStopsAtTheFirstRefusedSet)
{
    CEpochData epoch = MakeSampleEpoch();
    epoch[1].CompositionState = AcquisitionPoint;
    epoch[1].Palettes.clear();
    QBuffer whole;
    whole.open(QIODevice::WriteOnly);
    QBuffer first;
    first.open(QIODevice::WriteOnly);
    CEpochData copy = epoch;
    EXPECT_EQ(WriteEpoch(epoch, whole, nullptr), EWriteResult::Refused);
    EXPECT_EQ(WriteDisplaySet(copy[0], first, nullptr), EWriteResult::Written);
    EXPECT_EQ(whole.data(), first.data());
}

TEST(StreamWriter, WriteFailuresAreReported)
{
    CEpochData epoch = MakeSampleEpoch();
    QBuffer sup;
    sup.open(QIODevice::WriteOnly);
    ASSERT_EQ(WriteEpoch(epoch, sup, nullptr), EWriteResult::Written);
    const qint64 whole = sup.size();

    for (qint64 room : {qint64(0), qint64(10), whole / 2, whole - 1}) {
        CEpochData again = MakeSampleEpoch();
        CFullDevice full(room);
        EXPECT_EQ(WriteEpoch(again, full, nullptr), EWriteResult::Failed) << room;
    }
    CEpochData again = MakeSampleEpoch();
    CFullDevice enough(whole);
    EXPECT_EQ(WriteEpoch(again, enough, nullptr), EWriteResult::Written);

    // PES: the index failing fails the write too.
    CEpochData pes = MakeSampleEpoch();
    QBuffer main;
    main.open(QIODevice::WriteOnly);
    CFullDevice index(20);
    EXPECT_EQ(WriteEpoch(pes, main, &index), EWriteResult::Failed);
    CFullDevice noRoom(3);
    EXPECT_FALSE(WriteMuiHeader(noRoom));
    EXPECT_FALSE(WriteMuiTrailer(noRoom));
}

TEST(StreamWriter, MuiRecords)
{
    struct Case {
        const char* Name;
        std::uint8_t Type;
        std::uint16_t Size;
        std::uint32_t Pts;
        std::uint32_t Dts;
        SMuiRecord Record;
    } cases[] = {
        {"END at 10 s",
         SegmentEnd,
         0,
         900000,
         0,
         {0x80, 0, 0, 0x00, 0x03, 0x01, 0xA2, 0xDA, 0x90, 0x00, 0xD1, 0x6D, 0x48, 0}},
        // (84033 + 54000000) >> 1 = 27042016 (0x019CA0E0), (90000 + 54000000) >> 2 = 13522500
        {"PCS of 11 bytes",
         SegmentPcs,
         11,
         90000,
         84033,
         {0x16, 0, 0, 0x00, 0x0E, 0x01, 0x9C, 0xA0, 0xE0, 0x00, 0xCE, 0x56, 0x44, 0}},
        {"ODS at 0",
         SegmentOds,
         65519,
         0,
         0,
         {0x15, 0, 0, 0xFF, 0xF2, 0x01, 0x9B, 0xFC, 0xC0, 0x00, 0xCD, 0xFE, 0x60, 0}},
        // The additions wrap round modulo 2^32 before the shifts.
        {"PDS near the wrap",
         SegmentPds,
         7,
         0xFFFFFFF0u,
         0xFFFFFFF0u,
         {0x14, 0, 0, 0x00, 0x0A, 0x01, 0x9B, 0xFC, 0xB8, 0x00, 0xCD, 0xFE, 0x5C, 0}},
    };
    for (const Case& c : cases) {
        CEs segment;
        segment.Type = c.Type;
        segment.Size = c.Size;
        segment.PTS = c.Pts;
        segment.DTS = c.Dts;
        EXPECT_EQ(MakeMuiRecord(segment), c.Record) << c.Name;
    }
}

TEST(StreamWriter, PesHoldsBareSegmentsAndTheIndexOneRecordEach)
{
    CEpochData epoch = MakeSampleEpoch();
    CEpochData framed = epoch;
    QBuffer pes;
    pes.open(QIODevice::WriteOnly);
    QBuffer mui;
    mui.open(QIODevice::WriteOnly);
    ASSERT_TRUE(WriteMuiHeader(mui));
    ASSERT_EQ(WriteEpoch(epoch, pes, &mui), EWriteResult::Written);
    ASSERT_TRUE(WriteMuiTrailer(mui));
    QBuffer sup;
    sup.open(QIODevice::WriteOnly);
    ASSERT_EQ(WriteEpoch(framed, sup, nullptr), EWriteResult::Written);

    // Same segments as the SUP without its 10-byte framing.
    const Bytes supBytes = Contents(sup);
    const Bytes pesBytes = Contents(pes);
    Bytes unframed;
    std::size_t segments = 0;
    for (std::size_t at = 0; at < supBytes.size(); ++segments) {
        const std::size_t length = 3 + GetU16(&supBytes[at + 11]);
        unframed.insert(unframed.end(), supBytes.begin() + at + 10,
                        supBytes.begin() + at + 10 + length);
        at += 10 + length;
    }
    EXPECT_EQ(pesBytes, unframed);

    const Bytes index = Contents(mui);
    ASSERT_EQ(index.size(), 4 + 14 * segments + 14);
    EXPECT_EQ(Bytes(index.begin(), index.begin() + 4), (Bytes{0, 0, 0, 3}));
    std::size_t at = 0;
    for (std::size_t i = 0; i < segments; ++i) {
        const std::uint8_t* record = &index[4 + 14 * i];
        EXPECT_EQ(record[0], pesBytes[at]) << i;
        const std::size_t length = 3 + GetU16(&pesBytes[at + 1]);
        EXPECT_EQ(GetU16(record + 3), length) << i;
        at += length;
    }
    Bytes trailer(14, 0);
    trailer[0] = 0xFF;
    EXPECT_EQ(Bytes(index.end() - 14, index.end()), trailer);
}

TEST(StreamWriter, IndexWithoutSegmentsIsHeaderAndTrailer)
{
    QBuffer mui;
    mui.open(QIODevice::WriteOnly);
    ASSERT_TRUE(WriteMuiHeader(mui));
    ASSERT_TRUE(WriteMuiTrailer(mui));
    EXPECT_EQ(Contents(mui), (Bytes{0, 0, 0, 3, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

#include "MuiIndex.h"

#include "ByteOrder.h"

namespace {

void Put32(std::uint8_t* at, std::uint32_t value)
{
    at[0] = static_cast<std::uint8_t>(value >> 24);
    at[1] = static_cast<std::uint8_t>(value >> 16);
    at[2] = static_cast<std::uint8_t>(value >> 8);
    at[3] = static_cast<std::uint8_t>(value);
}

bool WriteAll(QIODevice& device, const std::uint8_t* data, std::size_t length)
{
    return device.write(reinterpret_cast<const char*>(data), static_cast<qint64>(length)) ==
           static_cast<qint64>(length);
}

}  // namespace

SMuiRecord MakeMuiRecord(const CSegmentBase& segment)
{
    SMuiRecord record{};
    record[0] = segment.Type;
    const unsigned length = SegmentHeaderSize + segment.Size;
    record[3] = static_cast<std::uint8_t>(length >> 8);
    record[4] = static_cast<std::uint8_t>(length);
    const std::uint32_t dts = segment.DTS != 0 ? segment.DTS : segment.PTS;
    Put32(&record[5], (dts + MuiTimeOffset) >> 1);
    Put32(&record[9], (segment.PTS + MuiTimeOffset) >> 2);
    return record;
}

SMuiEntry ReadMuiRecord(const std::uint8_t* record)
{
    SMuiEntry entry;
    entry.Type = record[0];
    entry.Length = GetU16(record + 3);
    entry.DTS = (GetU32(record + 5) << 1) - MuiTimeOffset;
    entry.PTS = (GetU32(record + 9) << 2) - MuiTimeOffset;
    return entry;
}

bool IsMuiTrailer(const std::uint8_t* record)
{
    if (record[0] != 0xFF)
        return false;
    for (std::size_t i = 1; i < MuiRecordSize; ++i) {
        if (record[i] != 0)
            return false;
    }
    return true;
}

bool WriteMuiHeader(QIODevice& mui)
{
    return WriteAll(mui, MuiHeader.data(), MuiHeader.size());
}

bool WriteMuiTrailer(QIODevice& mui)
{
    SMuiRecord trailer{};
    trailer[0] = 0xFF;
    return WriteAll(mui, trailer.data(), trailer.size());
}

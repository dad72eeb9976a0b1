#pragma once
// The ".mui" index that accompanies a ".pes" stream of bare segments: a
// 4-byte header, one 14-byte record per segment and a 14-byte trailer.

#include "Segments.h"

#include <QIODevice>

#include <array>
#include <cstdint>

constexpr std::size_t MuiHeaderSize = 4;
constexpr std::size_t MuiRecordSize = 14;
constexpr std::array<std::uint8_t, MuiHeaderSize> MuiHeader{0x00, 0x00, 0x00, 0x03};

// Ten minutes of the 90 kHz clock, added to every time stamp of the index.
constexpr std::uint32_t MuiTimeOffset = 54000000;

using SMuiRecord = std::array<std::uint8_t, MuiRecordSize>;

// The record of a serialised segment: type, its length in the ".pes" file
// (header and payload), (DTS + offset) >> 1 with the PTS standing in for a
// DTS of 0, and (PTS + offset) >> 2.
SMuiRecord MakeMuiRecord(const CSegmentBase& segment);

// What a record tells about its segment. The index keeps the DTS to 2 ticks
// and the PTS to 4 ticks; a segment written with DTS 0 reads back with
// its PTS's value there.
struct SMuiEntry {
    std::uint8_t Type = 0;
    std::uint16_t Length = 0;
    std::uint32_t DTS = 0;
    std::uint32_t PTS = 0;
};
SMuiEntry ReadMuiRecord(const std::uint8_t* record);
bool IsMuiTrailer(const std::uint8_t* record);

bool WriteMuiHeader(QIODevice& mui);
bool WriteMuiTrailer(QIODevice& mui);

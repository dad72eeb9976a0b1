#pragma once
// Writing display sets. A ".sup" file frames every segment with "PG" and its
// PTS and DTS; a ".pes" file holds the bare segments and the ".mui" index
// beside it one record per segment. Passing a MUI device selects PES.

#include "DisplaySet.h"

#include <QIODevice>

#include <cstdint>
#include <vector>

constexpr std::size_t SupHeaderSize = 10;

enum class EWriteResult {
    Written,
    Refused,  // a display set failed the check; nothing after it was written
    Failed,   // a write to one of the files failed
};

// Appends the serialised segment to `out`, framed for SUP when `framed`.
// Returns false when the segment's payload does not fit its length field.
bool SerialiseSegment(CSegmentBase& segment, bool framed, std::vector<std::uint8_t>& out);

// One segment: SUP framing and the segment, or, with a MUI device, the bare
// segment and then its index record.
bool WriteSegment(CSegmentBase& segment, QIODevice& main, QIODevice* mui);

// PCS (with the set's composition state), WDS when present, every PDS and
// every ODS in order, END. A set that fails the check writes nothing.
EWriteResult WriteDisplaySet(CDsData& set, QIODevice& main, QIODevice* mui);

// The sets in order, stopping at the first that fails the check or cannot
// be written; what was written before stays.
EWriteResult WriteEpoch(CEpochData& epoch, QIODevice& main, QIODevice* mui);

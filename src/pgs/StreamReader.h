#pragma once
// Reading a stream back: a ".sup" file, or a ".pes" file with its ".mui"
// index, into its segments. Every header, length, type and flag is checked,
// display sets must run from a PCS to an END, object fragments must form
// whole objects whose run-length data fills exactly their width and height.
// The first fault stops the reading with a message naming its byte offset.

#include "DisplaySet.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct SReadSegment {
    // Byte offset in the main file: of the "PG" header in a ".sup", of the
    // segment itself in a ".pes".
    std::uint64_t Offset = 0;
    std::unique_ptr<CSegmentBase> Segment;
};

struct SStreamContent {
    std::vector<SReadSegment> Segments;  // all segments read before any fault
    std::string Error;                   // empty when the whole stream was read
    std::uint64_t Bytes = 0;             // size of the main file
    // The fault lies in an object's data (its fragments or run-length rows)
    // of the segment at FaultOffset; what was read before it is whole.
    bool ObjectFault = false;
    std::uint64_t FaultOffset = 0;
    bool Ok() const { return Error.empty(); }
};

SStreamContent ReadSupStream(const std::uint8_t* data, std::size_t length);

// The index keeps time stamps to 2 (DTS) and 4 (PTS) ticks; a segment
// written with DTS 0 reads back with its PTS there.
SStreamContent ReadPesStream(const std::uint8_t* pes, std::size_t pesLength,
                             const std::uint8_t* mui, std::size_t muiLength);

// A path ending in ".pes" (any case) is read with the index beside it (the
// whole name with ".mui" appended); any other path as a ".sup" file.
SStreamContent ReadStreamFile(const QString& path);

// Moves the segments of a stream read without fault into display sets.
CEpochData TakeDisplaySets(SStreamContent& content);

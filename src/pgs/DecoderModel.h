#pragma once
// A model of a Blu-ray graphics decoder that a stream is run through to see
// whether players can show it: the coded-data buffer filled at a fixed rate,
// the object buffer of an epoch, one object decoder working one object at a
// time, the plane writer, and the limits on ids, sizes, windows, palettes and
// time stamps. Each broken rule is reported with the segment's byte offset
// and presentation time.

#include "StreamReader.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Rates and sizes of the model.
constexpr std::uint32_t CodedBufferBytes = 1024 * 1024;
constexpr std::uint32_t CodedBufferRate = 2000000;  // bytes a second into the coded buffer
constexpr std::uint32_t ObjectBufferBytes = 4 * 1024 * 1024;
constexpr std::size_t MaxSegmentPayloadBytes = 0xFFEF;
constexpr std::uint16_t MaxObjectId = 63;
constexpr std::uint8_t MaxPaletteId = 7;
constexpr std::uint16_t SmallestObjectSide = 8;
constexpr std::uint16_t LargestObjectSide = 4096;
constexpr std::size_t MaxBufferedSets = 8;
// The header a segment carries in the transport: 13 bytes with its own
// 3-byte type and length.
constexpr std::uint32_t SegmentTransportHeader = 13;

enum class ERule : int {
    SegmentPayload,
    ObjectData,
    CompositionObjects,
    Windows,
    Placement,
    ObjectIds,
    ObjectSize,
    ObjectBuffer,
    CodedBuffer,
    Palettes,
    PaletteRange,
    Versions,
    StaleVersion,
    CompositionNumber,
    EpochStart,
    PtsAndDts,
    Order,
    DecodeTime,
    OneDecoder,
    Spacing,
    PaletteOnlyUpdate,
    InUse,
    BufferedSets,
    SegmentTimes,
    Count,
};
constexpr std::size_t RuleCount = static_cast<std::size_t>(ERule::Count);

// "segment payload", "decode time", ...
const char* RuleName(ERule rule);
// Hard rules are those a decoder cannot get round; the others are held by
// authoring tools and warned about.
bool IsHardRule(ERule rule);

struct SViolation {
    ERule Rule = ERule::SegmentPayload;
    std::uint64_t Offset = 0;  // byte offset of the segment in the main file
    std::uint32_t Pts = 0;     // of the display set (its PCS)
    std::string Text;          // what is wrong, with the figures
};

struct SModelFigures {
    std::uint64_t PeakCodedBuffer = 0;           // bytes
    std::vector<std::uint64_t> ObjectBufferUse;  // bytes of object slots, one per epoch
    bool HasDecodeMargin = false;
    std::int64_t SmallestDecodeMargin = 0;  // ticks; negative when a set is late
    std::size_t MostSetsInOneSecond = 0;
    std::uint64_t HighestBytesInOneSecond = 0;
    std::size_t DisplaySets = 0;
    std::size_t Epochs = 0;
};

struct SModelReport {
    std::vector<SViolation> Violations;  // in stream order within each rule
    std::array<std::size_t, RuleCount> Counts{};
    SModelFigures Figures;
    bool Passes(bool strict) const;
};

struct SModelOptions {
    // Time stamps are known only to this many ticks (a ".pes" index keeps
    // them to 2 and 4 ticks); comparisons allow for it.
    std::uint32_t Resolution = 1;
    // A DTS of 0 stands for "no DTS": the segment is decoded at its PTS, as
    // in a PES header that carries only a PTS. A ".pes" index has already
    // put the PTS in its place, so there a 0 is a real time.
    bool ZeroDtsIsAbsent = true;
};

// Runs the segments of a stream (read without fault, or up to a fault in
// object data) through the model.
SModelReport CheckDecoderModel(const std::vector<SReadSegment>& segments,
                               const SModelOptions& options = {});

// Reads a ".sup", or a ".pes" with its index, and runs it through the model.
// False with `error` set when the file cannot be read; a fault in object
// data is reported as a violation instead.
bool CheckStreamFile(const QString& path, SModelReport& report, std::string& error);

// The report as `tandeo verify` prints it: every violation (at most
// `perRule` of each rule, then how many more), a table of the rules and the
// figures.
std::string FormatModelReport(const SModelReport& report, std::size_t perRule = 20);

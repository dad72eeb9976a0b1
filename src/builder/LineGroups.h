#pragma once
// Cutting the lines of both sources into groups where both are silent for
// more than two frames; each group becomes one epoch of the stream.

#include "source/SubBase.h"

#include <cstdint>
#include <vector>

// A pause of one source.
struct SIdleGap {
    std::int32_t lastLine = -1;  // last line before the pause; -1 before the first
    std::int32_t firstFrame = 0;
    std::int32_t lastFrame = 0;  // 2147483647 for the open pause after the last line
    bool operator==(const SIdleGap&) const = default;
};

// Line ranges of one group; -1 where the source has no line in it.
struct SLineGroup {
    std::int32_t first0 = -1;
    std::int32_t last0 = -1;
    std::int32_t first1 = -1;
    std::int32_t last1 = -1;
    bool operator==(const SLineGroup&) const = default;
};

// The pauses of one source's lines (sorted by start) at the exact rate.
std::vector<SIdleGap> MakeIdleGaps(const std::vector<SSubLine>& lines, double rate);

// Groups in time order; every line belongs to exactly one group.
std::vector<SLineGroup> MakeLineGroups(const std::vector<SSubLine>& lines0,
                                       const std::vector<SSubLine>& lines1, double rate);

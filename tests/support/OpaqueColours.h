#pragma once
// The opaque colours a stream's palettes hold, as (Y, Cr, Cb), for tests
// that tell the palette matrix of a build from the stream it wrote.

#include "pgs/DisplaySet.h"

#include <array>
#include <set>

using SYCrCb = std::array<int, 3>;

// Pure red (255, 0, 0) by each studio-range matrix.
inline constexpr SYCrCb RedBt601{81, 240, 90};
inline constexpr SYCrCb RedBt709{63, 240, 102};

inline std::set<SYCrCb> OpaqueColours(const CEpochData& sets)
{
    std::set<SYCrCb> colours;
    for (const CDsData& set : sets)
        for (const CPds& pds : set.Palettes)
            for (const SPaletteEntry& entry : pds.Entries)
                if (entry.T == 255)
                    colours.insert({entry.Y, entry.Cr, entry.Cb});
    return colours;
}

#pragma once
// A display set (one composition with its windows, palettes, objects and
// end segment) and an epoch (the display sets of one group, in order).

#include "Segments.h"

#include <optional>
#include <vector>

using CPdsFolder = std::vector<CPds>;
using COdsArray = std::vector<COds>;

struct CDsData {
    // Written into the PCS when the set is written.
    std::uint8_t CompositionState = NormalCase;
    CPcs Pcs;
    std::optional<CWds> Wds;
    CPdsFolder Palettes;
    COdsArray Objects;
    std::optional<CEs> End;

    bool operator==(const CDsData&) const = default;
};

using CEpochData = std::vector<CDsData>;

// Prepares a set for writing: creates the END segment when it is missing and
// tells whether the set may be written. A set in Normal Case is always
// accepted; Acquisition Point, Epoch Start and Epoch Continue need a window
// segment and at least one palette; any other state is refused.
bool CheckDisplaySet(CDsData& set);

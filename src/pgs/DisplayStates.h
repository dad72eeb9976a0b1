#pragma once
// The display states of a group: time intervals, in frames at the nominal
// rate, during which a fixed combination of at most one picture per lane is
// shown.

#include "GroupModel.h"

#include <array>
#include <cstdint>
#include <vector>

struct SDisplayState {
    std::array<std::int32_t, 2> eventIndex{-1, -1};  // per lane; -1 shows nothing of it
    std::uint32_t startFrame = 0;
    std::uint32_t endFrame = 0;  // exclusive
    bool operator==(const SDisplayState&) const = default;
};

// Merges the two lanes of the group into states and numbers the objects
// (from 0 in the order they are first shown, lane 0 before lane 1 within a
// state). Returns false when an event is unusable (negative or reversed
// times, no picture, an empty rectangle), the group has no event, or no
// state is long enough to be kept.
bool MakeDisplayStates(SGroupContext& group, std::vector<SDisplayState>& states);

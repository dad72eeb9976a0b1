#pragma once
// One group as the encoder receives it: the placed line pictures of both
// sources, one lane each, with the frame they are shown on. The builder
// fills it; the encoder turns it into one epoch.

#include "PaletteEntries.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// How faded lines fade in and out, in percent of each line's duration.
struct SFadeSettings {
    std::int32_t fadeMode = 1;
    std::int32_t FiDuration = 25;
    std::int32_t FoDuration = 25;
};

struct SRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    bool operator==(const SRect&) const = default;
    bool IsEmpty() const { return right <= left || bottom <= top; }
};

// One placed line picture inside a group.
struct SDisplayEvent {
    std::uint32_t start = 0;     // ms
    std::uint32_t end = 0;       // ms
    std::uint8_t version = 0;    // incremented each time the object is written
    std::int32_t objectId = -1;  // assigned when the display states are made
    QImage image;                // straight ARGB
    SRect rect;                  // on the frame; right = left + width, bottom = top + height
    const SFadeSettings* fadeSettings = nullptr;  // set for a faded line
    std::int32_t line = -1;                       // the source's line, for reports
};

// Everything of one source inside a group.
struct SWindowLane {
    std::vector<SDisplayEvent> events;  // in line order
    std::uint32_t curTime = 0;          // cursor of the display-state walk
    std::int32_t curIndex = 0;
    std::int32_t windowId = -1;  // set by the encoder
    SRect rect;                  // union of the event rectangles, set by the encoder
};

// A change the encoder made to what the lines ask for, so that a decoder
// can hold the stream.
enum class EAdjustment {
    Later,     // a display change comes later than its time: the decoder needs longer
    Merged,    // two overlapping pictures are sent as one
    Kept,      // a line all of whose display states were too short, shown in one of its own
    NotShown,  // a line no display state shows: on screen for too short a time
};

struct SAdjustment {
    EAdjustment kind = EAdjustment::Later;
    std::array<std::int32_t, 2> line{-1, -1};  // per lane, SDisplayEvent::line; -1 none
    bool ending = false;                       // the change takes the lines off the screen
    std::uint32_t wanted = 0;                  // ticks the lines ask for
    std::uint32_t given = 0;                   // ticks the stream gives
    std::uint32_t frames = 0;                  // how long a kept line shows
};

struct SGroupContext {
    std::array<SWindowLane, 2> lanes;  // 0 = top/left, 1 = bottom/right
    std::int32_t frameWidth = 1920;
    std::int32_t frameHeight = 1080;
    std::int32_t frameRateCode = 1;
    std::uint8_t forced = 0;  // forced flag of composition objects
    EColourMatrix colourMatrix = EColourMatrix::Bt601;
    // Carried from group to group: the PTS of the last display set written,
    // which the next set may not be decoded before.
    std::optional<std::uint32_t> lastPts;
    // What the encoding of the groups changed; the caller reads and clears it.
    std::vector<SAdjustment> adjustments;
};

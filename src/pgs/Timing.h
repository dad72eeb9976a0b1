#pragma once
// The decoder model's clocks: milliseconds to frames, frames to 90 kHz
// ticks, and the time a decoder needs for a display set (clearing the
// plane, copying windows, decoding objects), from which every segment's
// PTS and DTS follow.

#include "DisplaySet.h"

#include <cstdint>

constexpr std::uint32_t TicksPerSecond = 90000;

// truncate(ms x rate / 1000 + 0.5).
std::uint32_t MsToFrame(std::uint32_t ms, double rate);

// truncate(frame / rate x 90000 + 0.5), modulo 2^32; 0 for a rate that is
// not positive.
std::uint32_t FrameToTicks(std::uint32_t frame, double rate);

// Ticks to copy a window (or clear an area) of that many pixels, and to
// decode an object of that many pixels; both rounded up.
std::uint32_t WindowAreaTicks(std::uint64_t pixels);
std::uint32_t ObjectDecodeTicks(std::uint64_t pixels);

// Ticks the decoder needs before the set can be presented. The window list
// and the object list default to the set's own; a later set of a fade
// passes those of the epoch's first set.
std::uint32_t DecodeDuration(const CDsData& set, const CWds* windows = nullptr,
                             const COdsArray* objects = nullptr);

// The decoding start of a set presented at `presentation` that needs
// `duration` ticks. A set that would start decoding before the stream
// begins is clamped to 0 rather than wrapped round to the far end of the
// clock.
std::uint32_t DecodeStart(std::uint32_t presentation, std::uint32_t duration);

// Stamps every segment of the set from its presentation time P and decoding
// time D.
void SetDisplaySetTimes(CDsData& set, std::uint32_t presentation, std::uint32_t decoding);

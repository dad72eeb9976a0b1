#pragma once
// Encoding one group into one epoch: a window per source, one palette for
// all pictures of the group, one display set per display state (or per fade
// step for a faded line), a clearing set at the end, time stamps, and the
// writing of the epoch.

#include "DisplaySet.h"
#include "GroupModel.h"
#include "Quantiser.h"

#include <QIODevice>

#include <cstdint>
#include <vector>

enum class EGroupResult {
    Written,
    NotEncoded,   // nothing usable in the group, or its pictures could not be reduced
    WriteFailed,  // a write to the output failed
};

// `compositionCounter` numbers the compositions of the whole stream; it is
// read into each PCS and incremented (wrapping at 16 bits).
EGroupResult EncodeGroup(SGroupContext& group, QIODevice& main, QIODevice* mui,
                         std::uint16_t& compositionCounter);

// One step of a fade.
struct SFadeStep {
    std::uint32_t time = 0;    // 90 kHz ticks
    bool clear = false;        // the step removes the picture
    bool paletteStep = false;  // the step sends a new palette
    std::uint8_t alpha = 0;    // for palette steps
    bool operator==(const SFadeStep&) const = default;
};

// The frames of a fade, relative to the state's start.
struct SFadeFrames {
    std::int32_t fadeStart = 0;
    std::int32_t fadeInEnd = 0;
    std::int32_t fadeOutStart = 0;
    std::int32_t fadeEnd = 0;  // the state's duration
};

struct SFadeLevels {
    std::uint8_t start = 0;
    std::uint8_t full = 255;
    std::uint8_t end = 0;
};

// The steps of one state from frame `startFrame` to `endFrame`, every other
// frame during the fades; the last state of the group ends with a clear
// step.
void MakeFadeSteps(std::uint32_t startFrame, std::uint32_t endFrame, const SFadeFrames& frames,
                   const SFadeLevels& levels, bool isLast, double rate,
                   std::vector<SFadeStep>& steps);

// What one faded state shows.
struct SFadeObject {
    const QImage* picture = nullptr;  // indexed, with the group palette
    std::uint16_t objectId = 0;
    std::uint8_t windowId = 0;
    std::uint16_t left = 0;
    std::uint16_t top = 0;
    SWindow window;
};

// One display set per step, the first an Epoch Start with the window, the
// object and the palette; later palette steps send the palette with scaled
// alphas and rising versions.
void BuildFadeDisplaySets(CEpochData& epoch, std::uint16_t& compositionCounter,
                          const SFadeObject& object, const SQuantised& palette,
                          const SGroupContext& group, const std::vector<SFadeStep>& steps);

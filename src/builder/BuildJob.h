#pragma once
// What a build is asked to do: the output, the frame, the two sources with
// their layout settings, and where progress goes.

#include "pgs/GroupModel.h"
#include "pgs/PaletteEntries.h"
#include "source/SubBase.h"

#include <QString>

#include <array>
#include <cstdint>

// The index of the output's extension in the list ".sup", ".xml", ".pes".
enum EOutputFormat : std::int32_t {
    OutputSup = 0,
    OutputXml = 1,  // recognised, not supported
    OutputPes = 2,
};

// Per-source settings copied from the source page's style; index 0 is the
// top/left page, 1 the bottom/right page.
struct SSourceLayout {
    CSubBase* source = nullptr;
    std::int32_t Direction = 0;    // 0 Horizontal, 1 Vertical, 2 Auto
    std::int32_t Alignment = 1;    // 0 Near, 1 Center, 2 Far
    std::int32_t Location = 100;   // from the border, pictures of several rows
    std::int32_t Location2 = 100;  // from the border, pictures of one row
    std::int32_t fadeEnable = 1;
    std::int32_t LineSpace = 0;
};

struct SBuildProgress {
    std::int32_t phase = 0;    // 1 = the build starts (show fileName), 0 = progress
    std::int32_t percent = 0;  // 0 to 100
    QString fileName;
    // The second text: a new window title, for kind 2. The initializer lets
    // reports listing only the first three fields build without warnings.
    QString title{};
};

// The palette matrix a build is asked for. Automatic takes the one players
// convert the frame's palette with: BT.709 for HD frames, BT.601 for SD.
// The values are the positions of the window's list and stay as stored.
enum class EMatrixChoice : std::int32_t {
    Automatic = 0,
    Bt601 = 1,
    Bt709 = 2,
};

// Returns 0 to ask the build to stop.
using FBuildProgress = std::int32_t (*)(void* context, const SBuildProgress& progress);

struct SBuildJob {
    QString outputPath;
    std::int32_t videoSizeIndex = 0;
    std::int32_t frameRateIndex = 0;
    bool squeeze = true;
    std::int32_t outputFormat = OutputSup;
    std::int32_t direction = 0;  // placement direction of both sources' lines
    const SFadeSettings* fadeSettings = nullptr;
    void* progressContext = nullptr;
    FBuildProgress progressCallback = nullptr;
    // Matrix of the palette entries, resolved from the frame size when
    // automatic.
    EMatrixChoice colourMatrix = EMatrixChoice::Automatic;
};

using SSourceLayouts = std::array<SSourceLayout, 2>;

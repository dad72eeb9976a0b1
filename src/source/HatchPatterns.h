#pragma once
// The hatch patterns of the hatch brush: one 8 x 8 cell per style, numbered
// as the style grid lists them (0 Horizontal ... 52 SolidDiamond).

#include <array>
#include <cstdint>

enum EHatchStyle : std::uint8_t {
    HatchHorizontal = 0,
    HatchVertical,
    HatchForwardDiagonal,
    HatchBackwardDiagonal,
    HatchCross,
    HatchDiagonalCross,
    Hatch05Percent,
    Hatch10Percent,
    Hatch20Percent,
    Hatch25Percent,
    Hatch30Percent,
    Hatch40Percent,
    Hatch50Percent,
    Hatch60Percent,
    Hatch70Percent,
    Hatch75Percent,
    Hatch80Percent,
    Hatch90Percent,
    HatchLightDownwardDiagonal,
    HatchLightUpwardDiagonal,
    HatchDarkDownwardDiagonal,
    HatchDarkUpwardDiagonal,
    HatchWideDownwardDiagonal,
    HatchWideUpwardDiagonal,
    HatchLightVertical,
    HatchLightHorizontal,
    HatchNarrowVertical,
    HatchNarrowHorizontal,
    HatchDarkVertical,
    HatchDarkHorizontal,
    HatchDashedDownwardDiagonal,
    HatchDashedUpwardDiagonal,
    HatchDashedHorizontal,
    HatchDashedVertical,
    HatchSmallConfetti,
    HatchLargeConfetti,
    HatchZigZag,
    HatchWave,
    HatchDiagonalBrick,
    HatchHorizontalBrick,
    HatchWeave,
    HatchPlaid,
    HatchDivot,
    HatchDottedGrid,
    HatchDottedDiamond,
    HatchShingle,
    HatchTrellis,
    HatchSphere,
    HatchSmallGrid,
    HatchSmallCheckerBoard,
    HatchLargeCheckerBoard,
    HatchOutlinedDiamond,
    HatchSolidDiamond,
};

inline constexpr int HatchStyleCount = 53;

// Eight rows, top first; in each row the most significant bit is the
// leftmost pixel and a set bit is foreground.
using SHatchCell = std::array<std::uint8_t, 8>;

// The cell of `style`; false for a style outside 0 to 52.
bool HatchCell(int style, SHatchCell& cell);

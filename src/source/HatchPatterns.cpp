#include "source/HatchPatterns.h"

namespace {

// The percent patterns spread their dots evenly with an ordered-dither
// threshold, so each one looks like a uniform grey of its density and every
// denser pattern keeps the dots of the lighter ones.
int DitherThreshold(int x, int y)
{
    int v = 0;
    for (int bit = 0; bit < 3; ++bit)
        v = v * 4 + 2 * (((x ^ y) >> bit) & 1) + ((y >> bit) & 1);
    return v;  // 0 to 63, each value once
}

SHatchCell PercentCell(int percent)
{
    const int dots = (percent * 64 + 50) / 100;
    SHatchCell cell{};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            if (DitherThreshold(x, y) < dots)
                cell[y] |= static_cast<std::uint8_t>(0x80 >> x);
    return cell;
}

constexpr std::uint8_t RotateRight(std::uint8_t bits, int n)
{
    n &= 7;
    return static_cast<std::uint8_t>((bits >> n) | (bits << ((8 - n) & 7)));
}

constexpr std::uint8_t RotateLeft(std::uint8_t bits, int n)
{
    return RotateRight(bits, 8 - (n & 7));
}

// A diagonal that moves one pixel to the right (downward) or to the left
// (upward) per row.
constexpr SHatchCell Downward(std::uint8_t first)
{
    SHatchCell c{};
    for (int y = 0; y < 8; ++y)
        c[y] = RotateRight(first, y);
    return c;
}

constexpr SHatchCell Upward(std::uint8_t first)
{
    SHatchCell c{};
    for (int y = 0; y < 8; ++y)
        c[y] = RotateLeft(first, y);
    return c;
}

constexpr SHatchCell Rows(std::uint8_t bits)
{
    SHatchCell c{};
    c.fill(bits);
    return c;
}

constexpr SHatchCell Or(SHatchCell a, const SHatchCell& b)
{
    for (int y = 0; y < 8; ++y)
        a[y] |= b[y];
    return a;
}

// Styles 0 to 5 and 18 onward; the percent styles 6 to 17 are computed.
constexpr SHatchCell kHorizontal{0xFF, 0, 0, 0, 0, 0, 0, 0};

SHatchCell FixedCell(int style)
{
    switch (style) {
    case HatchHorizontal: return kHorizontal;
    case HatchVertical: return Rows(0x80);
    case HatchForwardDiagonal: return Downward(0x80);
    case HatchBackwardDiagonal: return Upward(0x01);
    case HatchCross: return Or(kHorizontal, Rows(0x80));
    case HatchDiagonalCross: return Or(Downward(0x80), Upward(0x01));
    case HatchLightDownwardDiagonal: return Downward(0x88);
    case HatchLightUpwardDiagonal: return Upward(0x11);
    case HatchDarkDownwardDiagonal: return Downward(0xCC);
    case HatchDarkUpwardDiagonal: return Upward(0x33);
    case HatchWideDownwardDiagonal: return Downward(0xE0);
    case HatchWideUpwardDiagonal: return Upward(0x07);
    case HatchLightVertical: return Rows(0x88);
    case HatchLightHorizontal: return {0xFF, 0, 0, 0, 0xFF, 0, 0, 0};
    case HatchNarrowVertical: return Rows(0xAA);
    case HatchNarrowHorizontal: return {0xFF, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0};
    case HatchDarkVertical: return Rows(0xCC);
    case HatchDarkHorizontal: return {0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0};
    case HatchDashedDownwardDiagonal: return {0x88, 0x44, 0x22, 0x11, 0, 0, 0, 0};
    case HatchDashedUpwardDiagonal: return {0x11, 0x22, 0x44, 0x88, 0, 0, 0, 0};
    case HatchDashedHorizontal: return {0xF0, 0, 0, 0, 0x0F, 0, 0, 0};
    case HatchDashedVertical: return {0x80, 0x80, 0x80, 0x80, 0x08, 0x08, 0x08, 0x08};
    case HatchSmallConfetti: return {0x80, 0x04, 0x20, 0x01, 0x40, 0x08, 0x02, 0x10};
    case HatchLargeConfetti: return {0xC0, 0xC6, 0x06, 0x00, 0x30, 0x33, 0x03, 0x00};
    case HatchZigZag: return {0x81, 0x42, 0x24, 0x18, 0x81, 0x42, 0x24, 0x18};
    case HatchWave: return {0x18, 0x24, 0xC3, 0, 0, 0, 0, 0};
    case HatchDiagonalBrick: return {0x01, 0x02, 0x04, 0x08, 0x18, 0x24, 0x42, 0x81};
    case HatchHorizontalBrick: return {0xFF, 0x80, 0x80, 0x80, 0xFF, 0x08, 0x08, 0x08};
    case HatchWeave: return {0x88, 0x54, 0x22, 0x45, 0x88, 0x14, 0x22, 0x51};
    case HatchPlaid: return {0xAA, 0x55, 0xAA, 0x55, 0xF0, 0xF0, 0xF0, 0xF0};
    case HatchDivot: return {0x00, 0x20, 0x10, 0x20, 0x00, 0x02, 0x04, 0x02};
    case HatchDottedGrid: return {0xAA, 0, 0x80, 0, 0x80, 0, 0x80, 0};
    case HatchDottedDiamond: return {0x80, 0, 0x22, 0, 0x08, 0, 0x22, 0};
    case HatchShingle: return {0x03, 0x84, 0x48, 0x30, 0x0C, 0x02, 0x01, 0x01};
    case HatchTrellis: return {0xFF, 0x66, 0xFF, 0x99, 0xFF, 0x66, 0xFF, 0x99};
    case HatchSphere: return {0x3C, 0x7E, 0xCF, 0xFF, 0xFF, 0xFF, 0x7E, 0x3C};
    case HatchSmallGrid: return {0xFF, 0x88, 0x88, 0x88, 0xFF, 0x88, 0x88, 0x88};
    case HatchSmallCheckerBoard: return {0xCC, 0xCC, 0x33, 0x33, 0xCC, 0xCC, 0x33, 0x33};
    case HatchLargeCheckerBoard: return {0xF0, 0xF0, 0xF0, 0xF0, 0x0F, 0x0F, 0x0F, 0x0F};
    case HatchOutlinedDiamond: return {0, 0x10, 0x28, 0x44, 0x28, 0x10, 0, 0};
    case HatchSolidDiamond: return {0, 0x10, 0x38, 0x7C, 0x38, 0x10, 0, 0};
    default: return {};
    }
}

constexpr int kPercents[] = {5, 10, 20, 25, 30, 40, 50, 60, 70, 75, 80, 90};

}  // namespace

bool HatchCell(int style, SHatchCell& cell)
{
    if (style < 0 || style >= HatchStyleCount)
        return false;
    if (style >= Hatch05Percent && style <= Hatch90Percent)
        cell = PercentCell(kPercents[style - Hatch05Percent]);
    else
        cell = FixedCell(style);
    return true;
}

#include "PaletteEntries.h"

#include <algorithm>

namespace {

std::uint8_t Clamp(int value, int low, int high)
{
    return static_cast<std::uint8_t>(std::clamp(value, low, high));
}

// BT.601 is evaluated in double precision in this order; the conversion to
// int truncates toward zero.
SPaletteEntry Bt601(double r, double g, double b)
{
    SPaletteEntry entry;
    entry.Y = Clamp(static_cast<int>(0.257 * r + 0.504 * g + 0.098 * b + 16), 16, 235);
    entry.Cr = Clamp(static_cast<int>(0.439 * r - 0.368 * g - 0.071 * b + 128), 16, 240);
    entry.Cb = Clamp(static_cast<int>(0.439 * b - (0.148 * r + 0.291 * g) + 128), 16, 240);
    return entry;
}

// BT.709 with three-decimal coefficients, computed in thousandths so that no
// rounding error pushes a grey below Cr = Cb = 128. Each chroma row sums to
// zero, hence 0.338 for green in Cb (0.33857 exactly). The sums stay positive,
// so integer division truncates like the double conversion would.
SPaletteEntry Bt709(int r, int g, int b)
{
    SPaletteEntry entry;
    entry.Y = Clamp((183 * r + 614 * g + 62 * b + 16000) / 1000, 16, 235);
    entry.Cr = Clamp((439 * r - 399 * g - 40 * b + 128000) / 1000, 16, 240);
    entry.Cb = Clamp((439 * b - 101 * r - 338 * g + 128000) / 1000, 16, 240);
    return entry;
}

}  // namespace

SPaletteEntry MakePaletteEntry(const ERGBQUAD& colour, EColourMatrix matrix)
{
    SPaletteEntry entry = matrix == EColourMatrix::Bt709
                              ? Bt709(colour.Red, colour.Green, colour.Blue)
                              : Bt601(colour.Red, colour.Green, colour.Blue);
    entry.EntryId = colour.Index;
    entry.T = colour.Alpha;
    return entry;
}

void FillPds(CPds& pds, const CErgbPalette& palette, EColourMatrix matrix)
{
    pds.Clear();
    pds.PaletteId = 0;
    const std::size_t count = std::min(MaxPaletteEntries, palette.Colours.size());
    for (std::size_t i = 0; i < count; ++i)
        pds.Entries.push_back(MakePaletteEntry(palette.Colours[i], matrix));
}

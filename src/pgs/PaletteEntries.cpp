#include "PaletteEntries.h"

#include <algorithm>

namespace {

std::uint8_t Clamp(int value, int low, int high)
{
    return static_cast<std::uint8_t>(std::clamp(value, low, high));
}

// One studio-range matrix in integers: each coefficient is 1000 times the
// component's share of the 219 levels of Y or the 224 of Cb and Cr, so every
// row of Y sums to 219000 and every chroma row to zero, and a grey lands on
// Cb = Cr = 128 exactly. The sums stay positive, so adding half the divisor
// before the division rounds to the nearest level.
struct SMatrix {
    int Y[3];
    int Cb[3];
    int Cr[3];
};

constexpr SMatrix Bt601Matrix{
    {65481, 128553, 24966}, {-37797, -74203, 112000}, {112000, -93786, -18214}};
constexpr SMatrix Bt709Matrix{
    {46559, 156629, 15812}, {-25664, -86336, 112000}, {112000, -101730, -10270}};

int Level(const int (&row)[3], int r, int g, int b, int offset)
{
    constexpr int Scale = 255 * 1000;
    return (row[0] * r + row[1] * g + row[2] * b + offset * Scale + Scale / 2) / Scale;
}

SPaletteEntry Convert(const SMatrix& m, int r, int g, int b)
{
    SPaletteEntry entry;
    entry.Y = Clamp(Level(m.Y, r, g, b, 16), 16, 235);
    entry.Cb = Clamp(Level(m.Cb, r, g, b, 128), 16, 240);
    entry.Cr = Clamp(Level(m.Cr, r, g, b, 128), 16, 240);
    return entry;
}

}  // namespace

SPaletteEntry MakePaletteEntry(const ERGBQUAD& colour, EColourMatrix matrix)
{
    SPaletteEntry entry = Convert(matrix == EColourMatrix::Bt709 ? Bt709Matrix : Bt601Matrix,
                                  colour.Red, colour.Green, colour.Blue);
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

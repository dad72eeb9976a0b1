#include "pgs/PaletteEntries.h"

#include <gtest/gtest.h>

namespace {

ERGBQUAD Colour(int r, int g, int b, int a = 255, int index = 0)
{
    ERGBQUAD c;
    c.Index = static_cast<std::uint8_t>(index);
    c.Red = static_cast<std::uint8_t>(r);
    c.Green = static_cast<std::uint8_t>(g);
    c.Blue = static_cast<std::uint8_t>(b);
    c.Alpha = static_cast<std::uint8_t>(a);
    return c;
}

}  // namespace

TEST(PaletteEntries, StudioRangeConversion)
{
    struct Case {
        EColourMatrix Matrix;
        int R, G, B;
        int Y, Cr, Cb;
    } cases[] = {
        {EColourMatrix::Bt601, 255, 255, 255, 235, 128, 128},
        {EColourMatrix::Bt601, 0, 0, 0, 16, 128, 128},
        {EColourMatrix::Bt601, 255, 0, 0, 81, 239, 90},
        {EColourMatrix::Bt601, 0, 255, 0, 144, 34, 53},
        {EColourMatrix::Bt601, 0, 0, 255, 40, 109, 239},
        {EColourMatrix::Bt601, 128, 64, 32, 84, 158, 104},
        {EColourMatrix::Bt709, 255, 255, 255, 235, 128, 128},
        {EColourMatrix::Bt709, 0, 0, 0, 16, 128, 128},
        {EColourMatrix::Bt709, 255, 0, 0, 62, 239, 102},
        {EColourMatrix::Bt709, 0, 255, 0, 172, 26, 41},
        {EColourMatrix::Bt709, 0, 0, 255, 31, 117, 239},
    };
    for (const Case& c : cases) {
        const SPaletteEntry e = MakePaletteEntry(Colour(c.R, c.G, c.B), c.Matrix);
        EXPECT_EQ(e.Y, c.Y) << c.R << "," << c.G << "," << c.B;
        EXPECT_EQ(e.Cr, c.Cr) << c.R << "," << c.G << "," << c.B;
        EXPECT_EQ(e.Cb, c.Cb) << c.R << "," << c.G << "," << c.B;
    }
}

TEST(PaletteEntries, EveryGreyStaysNeutral)
{
    for (EColourMatrix matrix : {EColourMatrix::Bt601, EColourMatrix::Bt709}) {
        for (int v = 0; v < 256; ++v) {
            const SPaletteEntry e = MakePaletteEntry(Colour(v, v, v), matrix);
            EXPECT_EQ(e.Cr, 128) << v;
            EXPECT_EQ(e.Cb, 128) << v;
            EXPECT_GE(e.Y, 16);
            EXPECT_LE(e.Y, 235);
        }
    }
}

TEST(PaletteEntries, FillTakesIndexAlphaAndAtMost256Colours)
{
    CErgbPalette palette;
    for (int i = 0; i < 300; ++i)
        palette.Colours.push_back(Colour(i % 256, 0, 0, (i * 7) % 256, i % 256));
    CPds pds;
    pds.PaletteId = 9;
    pds.Entries.resize(3);
    FillPds(pds, palette);
    EXPECT_EQ(pds.PaletteId, 0);
    ASSERT_EQ(pds.Entries.size(), 256u);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(pds.Entries[i].EntryId, i);
        EXPECT_EQ(pds.Entries[i].T, (i * 7) % 256);
    }

    palette.Colours.erase(palette.Colours.begin() + 3, palette.Colours.end());
    FillPds(pds, palette);
    EXPECT_EQ(pds.Entries.size(), 3u);
}

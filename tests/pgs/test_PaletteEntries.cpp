#include "pgs/PaletteEntries.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

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
        {EColourMatrix::Bt601, 255, 0, 0, 81, 240, 90},
        {EColourMatrix::Bt601, 0, 255, 0, 145, 34, 54},
        {EColourMatrix::Bt601, 0, 0, 255, 41, 110, 240},
        {EColourMatrix::Bt601, 128, 64, 32, 84, 158, 104},
        {EColourMatrix::Bt709, 255, 255, 255, 235, 128, 128},
        {EColourMatrix::Bt709, 0, 0, 0, 16, 128, 128},
        {EColourMatrix::Bt709, 255, 0, 0, 63, 240, 102},
        {EColourMatrix::Bt709, 0, 255, 0, 173, 26, 42},
        {EColourMatrix::Bt709, 0, 0, 255, 32, 118, 240},
    };
    for (const Case& c : cases) {
        const SPaletteEntry e = MakePaletteEntry(Colour(c.R, c.G, c.B), c.Matrix);
        EXPECT_EQ(e.Y, c.Y) << c.R << "," << c.G << "," << c.B;
        EXPECT_EQ(e.Cr, c.Cr) << c.R << "," << c.G << "," << c.B;
        EXPECT_EQ(e.Cb, c.Cb) << c.R << "," << c.G << "," << c.B;
    }
}

// A player turns the entries back into colours with the inverse of the same
// matrix; rounding each component to the nearest level leaves every colour
// within the half levels of Y, Cb and Cr, where truncating them would darken
// saturated colours by up to three levels.
TEST(PaletteEntries, ColoursComeBackThroughThePlayersInverse)
{
    struct SInverse {
        EColourMatrix Matrix;
        double Kr, Kb;
    };
    for (const SInverse& m : {SInverse{EColourMatrix::Bt601, 0.299, 0.114},
                              SInverse{EColourMatrix::Bt709, 0.2126, 0.0722}}) {
        const double kg = 1.0 - m.Kr - m.Kb;
        int worst = 0;
        for (int r = 0; r < 256; r += 5) {
            for (int g = 0; g < 256; g += 5) {
                for (int b = 0; b < 256; b += 5) {
                    const SPaletteEntry e = MakePaletteEntry(Colour(r, g, b), m.Matrix);
                    const double y = (e.Y - 16) * 255.0 / 219.0;
                    const double cb = (e.Cb - 128) * 255.0 / 224.0;
                    const double cr = (e.Cr - 128) * 255.0 / 224.0;
                    const double red = y + 2 * (1 - m.Kr) * cr;
                    const double blue = y + 2 * (1 - m.Kb) * cb;
                    const double green = (y - m.Kr * red - m.Kb * blue) / kg;
                    for (const auto& [was, back] : {std::pair{r, red}, {g, green}, {b, blue}})
                        worst = std::max(worst, std::abs(was - int(std::lround(back))));
                }
            }
        }
        EXPECT_LE(worst, 2) << (m.Matrix == EColourMatrix::Bt709 ? "BT.709" : "BT.601");
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

#pragma once
// Palette entries from colours. PGS palettes are studio-range Y, Cr, Cb;
// players convert the palettes of HD frames back with BT.709 and those of
// SD frames with BT.601, so a build makes them with the matching matrix.

#include "ErgbPalette.h"
#include "Segments.h"

enum class EColourMatrix {
    Bt601,
    Bt709,
};

// Entry id from the colour's index, opacity from its alpha, Y, Cr and Cb by
// the studio-range matrix, each rounded to the nearest level and clamped to 16..235
// (Y) or 16..240 (Cr, Cb).
SPaletteEntry MakePaletteEntry(const ERGBQUAD& colour, EColourMatrix matrix = EColourMatrix::Bt601);

// Replaces the entries of `pds` by the first min(256, count) colours of the
// palette, in order, and sets palette id 0.
void FillPds(CPds& pds, const CErgbPalette& palette, EColourMatrix matrix = EColourMatrix::Bt601);

#pragma once
// Reduction of a straight-ARGB picture of many colours to a palette whose
// entries stand for their pixels in colour and in alpha together. Colours
// are compared premultiplied, the way a decoder lays them over the video,
// so a half-transparent white edge and an opaque grey never share an entry.
// Fully transparent pixels get the transparent index; fully opaque pixels
// only opaque entries.

#include "Quantiser.h"

#include <QImage>

// At most this many colours plus the transparent entry.
constexpr int AlphaPaletteColours = 255;

// `indexed` (Format_Indexed8, the size of `argb`) gets one index per pixel;
// `result` the palette, the transparent entry last. `argb` must be
// Format_ARGB32.
void ReduceWithAlpha(const QImage& argb, QImage& indexed, SQuantised& result);

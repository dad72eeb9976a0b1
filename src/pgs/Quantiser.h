#pragma once
// Reduction of straight-ARGB line pictures to one shared palette of at most
// 256 colours with a transparent index: an exact palette when the pictures
// hold few colours, otherwise colours and alpha chosen together (a median
// cut over premultiplied colours, refined, and mapped to the nearest entry
// without error diffusion).

#include "ErgbPalette.h"

#include <QImage>
#include <QList>

#include <cstdint>
#include <vector>

struct SQuantised {
    QList<QRgb> palette;  // ARGB, at most 256 entries, alpha meaningful
    std::uint8_t transparentIndex = 0;
};

// `indexed` becomes a Format_Indexed8 picture with the palette as its colour
// table. Returns false (and no palette) for a picture of width or height 0.
bool QuantisePicture(const QImage& picture, QImage& indexed, SQuantised& result);

// All present pictures share one palette; `indexed` gets one entry per
// input, null where the input is null. Returns false when the work picture
// cannot be made.
bool QuantiseGroup(const std::vector<const QImage*>& pictures, std::vector<QImage>& indexed,
                   SQuantised& result);

// The palette as the segment writer takes it: the first min(count, 255)
// colours with their indexes and alphas.
CErgbPalette MakeErgbPalette(const SQuantised& quantised);

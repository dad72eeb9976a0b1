#pragma once
// Hand-built pictures, palettes and display sets for the stream tests.

#include "pgs/DisplaySet.h"
#include "pgs/ErgbPalette.h"

#include <QImage>

#include <cstdint>
#include <vector>

// Rows of bands of the indexes 1, 2, 3 (a third of the height each) with a
// transparent (index 0) border of `border` pixels.
QImage BandsPicture(int width, int height, int border = 0);

// Indexes 0 to `colours - 1` from a fixed pseudo-random sequence: short runs
// of every length class, so the coded data is large.
QImage NoisePicture(int width, int height, unsigned seed, int colours = 256);

// 0 transparent, 1 red, 2 green, 3 white, all others opaque greys.
CErgbPalette SamplePalette(int count = 4);

struct SSampleObject {
    std::uint16_t Id = 0;
    std::uint8_t Version = 0;
    std::uint8_t WindowId = 0;
    std::uint16_t X = 0;
    std::uint16_t Y = 0;
    QImage Picture;
};

// A display set on a 1920 x 1080 frame at the given frame-rate code, timed
// from its presentation time as the encoder does.
CDsData MakeDisplaySet(std::uint8_t state, std::uint16_t number, std::uint8_t rateCode,
                       const std::vector<SWindow>& windows,
                       const std::vector<SSampleObject>& objects, const CErgbPalette* palette,
                       std::uint32_t presentation);

// An epoch with two windows: an Epoch Start set with two objects (one of
// them large enough for two fragments), a Normal Case set with one object
// at a new version, and the clearing set.
CEpochData MakeSampleEpoch();

#pragma once
// Two-pass colour reduction: a median cut over a 5-6-5 bit histogram picks up
// to 255 colours, then every pixel is mapped to them with Floyd-Steinberg
// error diffusion along a serpentine walk. The choices and the mapping follow
// libjpeg's two-pass quantiser bit for bit, so pictures reduce the same way
// whichever of the two produced them.

#include <cstddef>
#include <cstdint>
#include <vector>

// One chosen colour, its components in the byte order of the pixels.
struct SCutColour {
    std::uint8_t C0 = 0;
    std::uint8_t C1 = 0;
    std::uint8_t C2 = 0;
    bool operator==(const SCutColour&) const = default;
};

// Reads `width` x `height` pixels of four bytes each: components c0, c1, c2
// and then an alpha byte, `stride` bytes from one row to the next. Returns
// the chosen colours (n, 1 to 255) and writes one index per pixel into
// `indexes` (`indexStride` bytes per row). A pixel whose alpha byte is below
// `dropBelowAlpha` still counts when the colours are chosen but is written as
// index n and takes no part in the error diffusion; with 0 every pixel is
// mapped. Width and height must be at least 1.
std::vector<SCutColour> MedianCutQuantise(const std::uint8_t* pixels, int width, int height,
                                          std::ptrdiff_t stride, std::uint8_t* indexes,
                                          std::ptrdiff_t indexStride, int dropBelowAlpha = 0);

#pragma once
// Pictures and helpers shared by the quantiser tests.

#include "pgs/MedianCut.h"
#include "pgs/Quantiser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// ---------------------------------------------------------------------------
// Pictures

inline QImage Filled(int width, int height, QRgb colour)
{
    QImage picture(width, height, QImage::Format_ARGB32);
    picture.fill(colour);
    return picture;
}

inline void FillRect(QImage& picture, int x0, int y0, int w, int h, QRgb colour)
{
    for (int y = y0; y < y0 + h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = x0; x < x0 + w; ++x) {
            line[x] = colour;
        }
    }
}

// Opaque, smooth in all three components and with far more than 255
// colours, so it always takes the median cut and dithers everywhere.
inline QImage Gradient(int width, int height, int phase = 0)
{
    QImage picture(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x) {
            line[x] = qRgb((x * 255) / std::max(1, width - 1), (y * 255) / std::max(1, height - 1),
                           (x * 3 + y * 5 + phase) % 256);
        }
    }
    return picture;
}

// Opaque colours from a fixed pseudo-random sequence: every colour far from
// most of the chosen ones, so the errors handed on are large.
inline QImage Noise(int width, int height, unsigned seed)
{
    QImage picture(width, height, QImage::Format_ARGB32);
    unsigned state = seed;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x) {
            state = state * 1103515245u + 12345u;
            line[x] = 0xFF000000u | (state >> 8);
        }
    }
    return picture;
}

// A row of pixels with the given colours.
inline QImage Row(const std::vector<QRgb>& colours)
{
    QImage picture(static_cast<int>(colours.size()), 1, QImage::Format_ARGB32);
    std::copy(colours.begin(), colours.end(), reinterpret_cast<QRgb*>(picture.scanLine(0)));
    return picture;
}

inline QRgb PixelAt(const QImage& picture, int x, int y)
{
    return reinterpret_cast<const QRgb*>(picture.constScanLine(y))[x];
}

inline int IndexAt(const QImage& indexed, int x, int y)
{
    return indexed.constScanLine(y)[x];
}

inline bool SameIndexes(const QImage& a, const QImage& b)
{
    if (a.size() != b.size() || a.format() != b.format()) {
        return false;
    }
    for (int y = 0; y < a.height(); ++y) {
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y),
                        static_cast<std::size_t>(a.width())) != 0) {
            return false;
        }
    }
    return true;
}

inline Bytes IndexBytes(const QImage& indexed)
{
    Bytes bytes;
    for (int y = 0; y < indexed.height(); ++y) {
        bytes.insert(bytes.end(), indexed.constScanLine(y),
                     indexed.constScanLine(y) + indexed.width());
    }
    return bytes;
}

struct SRun {
    bool Ok = false;
    QImage Indexed;
    SQuantised Result;
};

inline SRun Quantise(const QImage& picture)
{
    SRun run;
    run.Ok = QuantisePicture(picture, run.Indexed, run.Result);
    return run;
}

// The picture's straight pixels as the median cut reads them: blue, green,
// red seen against their complement, then the pixel's own alpha.
inline Bytes Flattened(const QImage& argb)
{
    Bytes bytes;
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb p = PixelAt(argb, x, y);
            const int a = qAlpha(p);
            for (int c : {qBlue(p), qGreen(p), qRed(p)}) {
                const double v = c * a / 255.0 + (255 - c) * (1 - a / 255.0);
                bytes.push_back(static_cast<std::uint8_t>(a == 255 ? c : static_cast<int>(v)));
            }
            bytes.push_back(static_cast<std::uint8_t>(a));
        }
    }
    return bytes;
}

struct SCut {
    std::vector<SCutColour> Colours;
    Bytes Indexes;
};

inline SCut CutBytes(const Bytes& pixels, int width, int height, int dropBelowAlpha)
{
    SCut cut;
    cut.Indexes.resize(static_cast<std::size_t>(width) * height);
    cut.Colours = MedianCutQuantise(pixels.data(), width, height, 4 * width, cut.Indexes.data(),
                                    width, dropBelowAlpha);
    return cut;
}

// What QuantisePicture must give when the exact palette is out of reach,
// except for the palette's alphas.
inline SCut ExpectedCut(const QImage& argb)
{
    return CutBytes(Flattened(argb), argb.width(), argb.height(), 5);
}

inline void ExpectPaletteColoursAre(const SQuantised& result,
                                    const std::vector<SCutColour>& colours)
{
    ASSERT_EQ(result.palette.size(), static_cast<qsizetype>(colours.size()) + 1);
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const QRgb p = result.palette[static_cast<qsizetype>(i)];
        EXPECT_EQ(qBlue(p), colours[i].C0) << i;
        EXPECT_EQ(qGreen(p), colours[i].C1) << i;
        EXPECT_EQ(qRed(p), colours[i].C2) << i;
    }
    EXPECT_EQ(result.palette.back(), 0u);
    EXPECT_EQ(static_cast<std::size_t>(result.transparentIndex), colours.size());
}

#pragma once
// Pictures and helpers shared by the quantiser tests.

#include "pgs/Quantiser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
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

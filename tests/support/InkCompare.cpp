#include "InkCompare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

namespace {

// How far a peer's frame may differ from ours: the mean over a line's box
// (measured 10.5 to 16.2 on the samples through ffmpeg) and any channel
// inside its solid parts (measured 5).
constexpr double MeanTolerance = 20.0;
constexpr int SolidTolerance = 6;

}  // namespace

bool Differs(QRgb pixel, QRgb background, int threshold)
{
    return std::abs(qRed(pixel) - qRed(background)) > threshold ||
           std::abs(qGreen(pixel) - qGreen(background)) > threshold ||
           std::abs(qBlue(pixel) - qBlue(background)) > threshold;
}

QRect InkBox(const QImage& image, QRgb background, const QRect& within)
{
    const QRect area = within.isNull() ? image.rect() : within & image.rect();
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            if (Differs(row[x], background, InkThreshold))
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

bool Near(const QRect& a, const QRect& b, int slack)
{
    return std::abs(a.left() - b.left()) <= slack && std::abs(a.top() - b.top()) <= slack &&
           std::abs(a.right() - b.right()) <= slack && std::abs(a.bottom() - b.bottom()) <= slack;
}

std::string BoxText(const QRect& r)
{
    if (r.isNull())
        return "(none)";
    return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) +
           "x" + std::to_string(r.height());
}

double MeanDifference(const QImage& a, const QImage& b, const QRect& box, QPoint shift)
{
    double total = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x - shift.x(), y - shift.y());
            total += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                     std::abs(qBlue(p) - qBlue(q));
        }
    return total / (3.0 * box.width() * box.height());
}

std::pair<int, int> SolidDifference(const QImage& a, const QImage& b, const QRect& box,
                                    QRgb background)
{
    int worst = 0, count = 0;
    for (int y = box.top() + 1; y < box.bottom(); ++y)
        for (int x = box.left() + 1; x < box.right(); ++x) {
            const QRgb q = b.pixel(x, y);
            bool solid = q != background;
            for (int dy = -1; dy <= 1 && solid; ++dy)
                for (int dx = -1; dx <= 1 && solid; ++dx)
                    solid = b.pixel(x + dx, y + dy) == q;
            if (!solid)
                continue;
            ++count;
            const QRgb p = a.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q))});
        }
    return {worst, count};
}

void ExpectShowsLines(const QImage& decoded, const std::vector<SRenderedLine>& lines,
                      QRgb background, const std::string& label)
{
    SCOPED_TRACE(label);
    // Our frame: every line shown, each over the same background.
    QImage expected(decoded.size(), QImage::Format_RGB32);
    expected.fill(background);
    QRect expectedBox;
    std::vector<QRect> lineBoxes;
    std::vector<std::string> names;
    for (const SRenderedLine& line : lines) {
        const QImage* render = line.Render;
        if (render->size() != expected.size()) {
            ADD_FAILURE() << line.Name << " rendered at " << render->width() << "x"
                          << render->height();
            continue;
        }
        const QRect box = InkBox(*render, background);
        EXPECT_FALSE(box.isNull()) << line.Name << " rendered without ink";
        if (box.isNull())
            continue;
        expectedBox |= box;
        lineBoxes.push_back(box);
        names.push_back(line.Name);
        for (int y = box.top(); y <= box.bottom(); ++y) {
            const auto* from = reinterpret_cast<const QRgb*>(render->constScanLine(y));
            auto* to = reinterpret_cast<QRgb*>(expected.scanLine(y));
            for (int x = box.left(); x <= box.right(); ++x) {
                if (from[x] != background)
                    to[x] = from[x];
            }
        }
    }
    const QRect decodedBox = InkBox(decoded, background);
    EXPECT_TRUE(Near(decodedBox, expectedBox, 1))
        << "decoded " << BoxText(decodedBox) << ", ours " << BoxText(expectedBox);
    // Each line's own box: the band between two lines is background in both
    // frames and would water a mean down. The palette is chosen from colours
    // flattened without their alpha and mapped with error diffusion, so
    // anti-aliased edges come back in other colours and dithered; solid fills
    // and outlines come back as drawn. The place is exact when no other
    // shift of ours matches the decoded frame better.
    for (std::size_t b = 0; b < lineBoxes.size(); ++b) {
        const QRect& box = lineBoxes[b];
        const double mean = MeanDifference(decoded, expected, box, QPoint(0, 0));
        QPoint best(0, 0);
        double bestMean = mean;
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx) {
                const double m = MeanDifference(decoded, expected, box, QPoint(dx, dy));
                if (m < bestMean) {
                    bestMean = m;
                    best = QPoint(dx, dy);
                }
            }
        const auto [solidWorst, solidCount] = SolidDifference(decoded, expected, box, background);
        ::testing::Test::RecordProperty(label + "_line" + std::to_string(b),
                                        "mean " + std::to_string(mean) + " solid " +
                                            std::to_string(solidWorst) + " of " +
                                            std::to_string(solidCount));
        EXPECT_EQ(std::make_pair(best.x(), best.y()), std::make_pair(0, 0))
            << names[b] << " box " << BoxText(box);
        EXPECT_LT(mean, MeanTolerance) << names[b] << " box " << BoxText(box);
        EXPECT_GE(solidCount, 30) << names[b] << " box " << BoxText(box);
        EXPECT_LE(solidWorst, SolidTolerance) << names[b] << " box " << BoxText(box);
    }
}

namespace {

int ChannelDifference(QRgb p, QRgb q)
{
    return std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                     std::abs(qBlue(p) - qBlue(q))});
}

// The largest channel difference between `frame` and `line` at `corner`
// over the fully covered pixels of the picture, or -1 when the picture
// does not lie wholly inside the frame.
int OpaqueMismatch(const QImage& frame, const QImage& line, QPoint corner)
{
    if (!frame.rect().contains(QRect(corner, line.size())))
        return -1;
    int worst = 0;
    for (int y = 0; y < line.height(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(line.constScanLine(y));
        const auto* to = reinterpret_cast<const QRgb*>(frame.constScanLine(corner.y() + y));
        for (int x = 0; x < line.width(); ++x) {
            if (qAlpha(from[x]) == 255)
                worst = std::max(worst, ChannelDifference(from[x], to[corner.x() + x]));
        }
    }
    return worst;
}

// The bounding box of the pixels that some ink covers at all.
QRect CoveredBox(const QImage& line)
{
    QRect box;
    for (int y = 0; y < line.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(line.constScanLine(y));
        for (int x = 0; x < line.width(); ++x) {
            if (qAlpha(row[x]) == 255)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

}  // namespace

QPoint FindPlace(const QImage& frame, const QImage& line, QRgb background, int* mismatch)
{
    *mismatch = 256;
    const QRect covered = CoveredBox(line);
    // Fully covered pixels keep their colour exactly in the frame, so the
    // box of the frame's pixels that differ from the background at all
    // holds them; the edges add at most a pixel or two around.
    QRect changed;
    for (int y = 0; y < frame.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
        for (int x = 0; x < frame.width(); ++x) {
            if ((row[x] & 0xffffff) != (background & 0xffffff))
                changed |= QRect(x, y, 1, 1);
        }
    }
    if (covered.isNull() || changed.isNull())
        return {};
    const QPoint guess = changed.topLeft() - covered.topLeft();
    QPoint best = guess;
    for (int dy = -3; dy <= 3; ++dy)
        for (int dx = -3; dx <= 3; ++dx) {
            const QPoint corner = guess + QPoint(dx, dy);
            const int m = OpaqueMismatch(frame, line, corner);
            if (m >= 0 && m < *mismatch) {
                *mismatch = m;
                best = corner;
            }
        }
    return best;
}

SFidelity MeasureFidelity(const QImage& decoded, const QImage& expected, const QRect& box,
                          const std::vector<SPlacedLine>& lines)
{
    SFidelity f;
    const QRect area = box & decoded.rect() & expected.rect();
    if (area.isEmpty())
        return f;
    std::array<long long, 256> counts{};
    long long total = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(decoded.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(expected.constScanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            const int d[] = {std::abs(qRed(a[x]) - qRed(b[x])),
                             std::abs(qGreen(a[x]) - qGreen(b[x])),
                             std::abs(qBlue(a[x]) - qBlue(b[x]))};
            for (int v : d) {
                ++counts[std::size_t(v)];
                total += v;
            }
        }
    }
    const long long samples = 3LL * area.width() * area.height();
    f.Mean = double(total) / double(samples);
    // The smallest difference that 99 % of the samples do not exceed.
    long long seen = 0;
    for (std::size_t v = 0; v < counts.size(); ++v) {
        seen += counts[v];
        if (100 * seen >= 99 * samples) {
            f.P99 = int(v);
            break;
        }
    }
    for (const SPlacedLine& line : lines) {
        for (int y = 0; y < line.Picture.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(line.Picture.constScanLine(y));
            for (int x = 0; x < line.Picture.width(); ++x) {
                const QPoint at = line.Corner + QPoint(x, y);
                if (qAlpha(row[x]) != 255 || !area.contains(at))
                    continue;
                ++f.OpaqueCount;
                const int d = ChannelDifference(decoded.pixel(at), expected.pixel(at));
                if (d > f.WorstOpaque || f.OpaqueCount == 1) {
                    f.WorstOpaque = d;
                    f.OpaqueDecoded = decoded.pixel(at);
                    f.OpaqueExpected = expected.pixel(at);
                }
            }
        }
    }
    return f;
}

std::string FidelityText(const SFidelity& f)
{
    char text[128];
    std::snprintf(text, sizeof text, "mean %.2f p99 %d opaque %d of %d (#%06x for #%06x)", f.Mean,
                  f.P99, f.WorstOpaque, f.OpaqueCount, f.OpaqueDecoded & 0xffffffu,
                  f.OpaqueExpected & 0xffffffu);
    return text;
}

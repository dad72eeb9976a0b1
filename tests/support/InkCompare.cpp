#include "InkCompare.h"

#include <gtest/gtest.h>

#include <algorithm>
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

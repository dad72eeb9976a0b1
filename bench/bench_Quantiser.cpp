// Quantiser figures: one anti-aliased subtitle line and a group of two, the
// everyday work of the builder, which has to keep up with hundreds of lines
// a second.
//
//   build-release/bench/pgs_bench --benchmark_filter=Quantis

#include "pgs/Quantiser.h"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>

#include <benchmark/benchmark.h>

#include <unordered_set>

namespace {

// Glyph-like shapes along a line: rings, bars and strokes, white with a
// black outline over a soft shadow, all anti-aliased. Shapes stand in for
// text because drawing text needs a GUI application object.
QImage LinePicture(int width, int height, int variant)
{
    QPainterPath shapes;
    const double top = height * 0.25;
    const double size = height * 0.5;
    for (int i = 0, x = 24; x + size < width - 24; ++i, x += static_cast<int>(size * 0.8)) {
        switch ((i + variant) % 4) {
        case 0: shapes.addEllipse(QRectF(x, top, size * 0.7, size)); break;
        case 1: shapes.addRoundedRect(QRectF(x, top, size * 0.25, size), 4, 4); break;
        case 2: {
            QPainterPath curve(QPointF(x, top + size));
            curve.cubicTo(QPointF(x + size * 0.2, top - size * 0.3),
                          QPointF(x + size * 0.5, top + size * 1.3), QPointF(x + size * 0.7, top));
            QPainterPathStroker stroker;
            stroker.setWidth(size * 0.16);
            stroker.setCapStyle(Qt::RoundCap);
            shapes.addPath(stroker.createStroke(curve));
            break;
        }
        default:
            shapes.addEllipse(QRectF(x, top + size * 0.55, size * 0.45, size * 0.45));
            shapes.addRoundedRect(QRectF(x + size * 0.3, top, size * 0.15, size), 3, 3);
            break;
        }
    }
    shapes.setFillRule(Qt::WindingFill);

    QImage canvas(width, height, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    const QPainterPath shadow = shapes.translated(4, 4);
    for (int spread = 4; spread >= 1; --spread) {
        painter.setPen(
            QPen(QColor(0, 0, 0, 28), 6.0 * spread, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(shadow);
    }
    painter.setPen(QPen(Qt::black, 5.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::white);
    painter.drawPath(shapes);
    painter.end();
    return canvas.convertToFormat(QImage::Format_ARGB32);
}

std::size_t DistinctColours(const QImage& argb)
{
    std::unordered_set<QRgb> colours;
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        colours.insert(line, line + argb.width());
    }
    return colours.size();
}

// The median cut only runs on pictures beyond an exact palette.
bool NeedsMedianCut(benchmark::State& state, const QImage& picture)
{
    const std::size_t distinct = DistinctColours(picture);
    state.counters["distinct_colours"] = static_cast<double>(distinct);
    if (distinct <= 255) {
        state.SkipWithError("the line picture has no more than 255 colours");
        return false;
    }
    return true;
}

void BM_QuantisePicture_Line1200x120(benchmark::State& state)
{
    const QImage picture = LinePicture(1200, 120, 0);
    if (!NeedsMedianCut(state, picture)) {
        return;
    }
    QImage indexed;
    SQuantised result;
    for (auto _ : state) {
        QuantisePicture(picture, indexed, result);
        benchmark::DoNotOptimize(indexed.constBits());
    }
    state.counters["palette"] = static_cast<double>(result.palette.size());
    state.counters["lines/s"] =
        benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_QuantisePicture_Line1200x120)->Unit(benchmark::kMillisecond);

void BM_QuantiseGroup_TwoLines1200x120(benchmark::State& state)
{
    const QImage first = LinePicture(1200, 120, 0);
    const QImage second = LinePicture(1100, 110, 1);
    if (!NeedsMedianCut(state, first) || !NeedsMedianCut(state, second)) {
        return;
    }
    const std::vector<const QImage*> pictures{&first, &second};
    std::vector<QImage> indexed;
    SQuantised result;
    for (auto _ : state) {
        QuantiseGroup(pictures, indexed, result);
        benchmark::DoNotOptimize(indexed.data());
    }
    state.counters["palette"] = static_cast<double>(result.palette.size());
    state.counters["lines/s"] =
        benchmark::Counter(2.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_QuantiseGroup_TwoLines1200x120)->Unit(benchmark::kMillisecond);

// A line without anti-aliasing: white, black and transparent only, the
// exact palette.
void BM_QuantisePicture_ExactLine1200x120(benchmark::State& state)
{
    QImage picture(1200, 120, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setPen(QPen(Qt::black, 5.0));
        painter.setBrush(Qt::white);
        for (int x = 24; x + 60 < 1176; x += 48) {
            painter.drawEllipse(QRect(x, 30, 40, 60));
        }
    }
    QImage indexed;
    SQuantised result;
    for (auto _ : state) {
        QuantisePicture(picture, indexed, result);
        benchmark::DoNotOptimize(indexed.constBits());
    }
    state.counters["palette"] = static_cast<double>(result.palette.size());
}
BENCHMARK(BM_QuantisePicture_ExactLine1200x120)->Unit(benchmark::kMillisecond);

}  // namespace

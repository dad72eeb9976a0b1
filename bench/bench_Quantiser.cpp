// Quantiser figures: one anti-aliased subtitle line and a group of two, the
// everyday work of the builder, which has to keep up with hundreds of lines
// a second.
//
//   build-release/bench/pgs_bench --benchmark_filter=Quantis

#include "LinePictures.h"
#include "pgs/Quantiser.h"

#include <benchmark/benchmark.h>

namespace {

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

// Stream writer figures: run-length coding of a full HD picture and the
// serialisation of whole epochs.
//
//   build-release/bench/pgs_bench

#include "pgs/MuiIndex.h"
#include "pgs/ObjectCoding.h"
#include "pgs/SampleEpoch.h"
#include "pgs/StreamReader.h"
#include "pgs/StreamWriter.h"

#include <QBuffer>

#include <benchmark/benchmark.h>

namespace {

// A 1920 x 1080 picture of mixed runs: every length class of the coder,
// transparent and coloured.
const QImage& MixedRunsPicture()
{
    static const QImage picture = NoisePicture(1920, 1080, 11);
    return picture;
}

void BM_EncodeObjectData_1920x1080(benchmark::State& state)
{
    const QImage& picture = MixedRunsPicture();
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::vector<std::uint8_t> data = EncodeObjectData(picture);
        bytes = data.size();
        benchmark::DoNotOptimize(data.data());
    }
    state.counters["coded_bytes"] = static_cast<double>(bytes);
    state.counters["pixels/s"] =
        benchmark::Counter(1920.0 * 1080, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_EncodeObjectData_1920x1080)->Unit(benchmark::kMillisecond);

void BM_AddObjectSegments_1920x1080(benchmark::State& state)
{
    const QImage& picture = MixedRunsPicture();
    for (auto _ : state) {
        CDsData set;
        AddObjectSegments(set, picture, 0, 0);
        benchmark::DoNotOptimize(set.Objects.data());
    }
}
BENCHMARK(BM_AddObjectSegments_1920x1080)->Unit(benchmark::kMillisecond);

// The sample epoch: three display sets, two windows, a 256-colour palette,
// a 1200 x 600 object in two fragments and a 300 x 60 object twice.
void WriteEpochBench(benchmark::State& state, bool pes)
{
    const CEpochData epoch = MakeSampleEpoch();
    QByteArray main;
    QByteArray index;
    for (auto _ : state) {
        state.PauseTiming();
        CEpochData copy = epoch;
        main.clear();
        index.clear();
        QBuffer mainDevice(&main);
        QBuffer indexDevice(&index);
        mainDevice.open(QIODevice::WriteOnly);
        indexDevice.open(QIODevice::WriteOnly);
        state.ResumeTiming();
        WriteEpoch(copy, mainDevice, pes ? &indexDevice : nullptr);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * main.size());
    state.counters["stream_bytes"] = static_cast<double>(main.size());
}

void BM_WriteEpoch_Sup(benchmark::State& state)
{
    WriteEpochBench(state, false);
}
void BM_WriteEpoch_PesMui(benchmark::State& state)
{
    WriteEpochBench(state, true);
}
BENCHMARK(BM_WriteEpoch_Sup)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteEpoch_PesMui)->Unit(benchmark::kMicrosecond);

void BM_ReadSupStream(benchmark::State& state)
{
    CEpochData epoch = MakeSampleEpoch();
    QByteArray main;
    QBuffer device(&main);
    device.open(QIODevice::WriteOnly);
    WriteEpoch(epoch, device, nullptr);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(main.constData());
    for (auto _ : state) {
        SStreamContent content = ReadSupStream(bytes, static_cast<std::size_t>(main.size()));
        benchmark::DoNotOptimize(content.Segments.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * main.size());
}
BENCHMARK(BM_ReadSupStream)->Unit(benchmark::kMicrosecond);

}  // namespace

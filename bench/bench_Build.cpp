// A whole build: 3,000 synthetic anti-aliased line pictures in overlapping
// pairs (one top line, one bottom line), each pair its own group, to a
// ".sup" file. Peak memory is read after a build of 300 and after one of
// 3,000 pictures: it must not grow with the number of groups.
//
//   build-release/bench/build_bench

#include "LinePictures.h"
#include "builder/SubBuilder.h"
#include "pgs/DecoderModel.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>

#include <sys/resource.h>

namespace {

// Hands out a few pre-drawn anti-aliased line pictures (hundreds of colours
// each, so every group takes the median cut) in turn, so that the figure is
// the builder's and the encoder's, not the drawing of test pictures.
class CCachedSource : public CSubBase {
public:
    CCachedSource(int count, int offsetMs, int seed)
    {
        for (int i = 0; i < 8; ++i)
            Pictures.push_back(LinePicture(700 + 60 * i, 70 + 6 * i, seed + i));
        for (int i = 0; i < count; ++i) {
            SSubLine line;
            line.source = this;
            line.start = i * 3000 + offsetMs;
            line.end = line.start + 1800;
            lines.push_back(line);
        }
    }
    bool Load(const QString&, CUserMessages*) override { return true; }
    int GetRowCount(int) override { return 1; }
    bool GetLineImage(int index, SLineRequest& request) override
    {
        request.image = Pictures[static_cast<std::size_t>(index) % Pictures.size()];
        return true;
    }
    std::vector<QImage> Pictures;
};

double PeakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

void BM_Build(benchmark::State& state)
{
    const int pictures = static_cast<int>(state.range(0));
    QTemporaryDir dir;
    CCachedSource top(pictures / 2, 0, 1);
    CCachedSource bottom(pictures / 2, 900, 2);
    SSourceLayouts layouts;
    layouts[0].source = &top;
    layouts[1].source = &bottom;
    SBuildJob job;
    job.outputPath = dir.filePath("bench.sup");
    job.frameRateIndex = 0;
    for (auto _ : state) {
        CSubBuilder builder;
        if (builder.Build(job, layouts) != BuildDone)
            state.SkipWithError("the build failed");
    }
    // A fast build is worth nothing if players cannot decode it.
    SModelReport report;
    std::string error;
    if (!CheckStreamFile(job.outputPath, report, error) || !report.Passes(true))
        state.SkipWithError(
            ("the stream breaks the decoder model:\n" + error + FormatModelReport(report)).c_str());
    state.counters["pictures/s"] =
        benchmark::Counter(pictures, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peak_MB"] = PeakMegabytes();
    std::size_t fewest = DistinctColours(top.Pictures[0]);
    for (const CCachedSource* source : {&top, &bottom}) {
        for (const QImage& picture : source->Pictures)
            fewest = std::min(fewest, DistinctColours(picture));
    }
    state.counters["fewest_colours"] = static_cast<double>(fewest);
}
BENCHMARK(BM_Build)->Arg(300)->Arg(3000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

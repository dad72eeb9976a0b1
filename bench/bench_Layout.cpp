// Entry layout: 10,000 entries with a few override tags each, laid out
// afresh at 1920 x 1080 (SubRip-sized script, so no scaling).
//
//   build-engine-rel/bench/layout_bench

#include "textengine/RenderedTextSubtitle.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

namespace {

void FillScript(CRenderedTextSubtitle& engine, int entries)
{
    auto style = std::make_unique<STSStyle>();
    style->fontName = "Arial";
    style->fontSize = 52;
    engine.RegisterStyle("Default", std::move(style));
    engine.scriptSize = {1920, 1080};
    for (int i = 0; i < entries; ++i) {
        const QString text = QStringLiteral("{\\i1}Line %1{\\i0} of the film, with {\\b1}some "
                                            "bold{\\b0} words\\Nspoken by someone number %2.")
                                 .arg(i + 1)
                                 .arg(i % 97);
        engine.AddEntry(text, true, i * 3000, i * 3000 + 2500, "Default", "", "", 0, {});
    }
}

void BM_LayoutEntries_10000(benchmark::State& state)
{
    CRenderedTextSubtitle engine;
    FillScript(engine, 10000);
    std::size_t rows = 0;
    for (auto _ : state) {
        engine.SetEngineFrame(1920, 1080, {0, 0, 1920, 1080});
        for (int i = 0; i < static_cast<int>(engine.entries.size()); ++i)
            rows += engine.LayoutEntry(i)->rows.size();
    }
    benchmark::DoNotOptimize(rows);
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_LayoutEntries_10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    // Fonts need a GUI application object; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

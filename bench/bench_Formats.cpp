// Script reading: a SubRip file of 10,000 entries, opened as a source opens
// it (the whole reader table, the default style, the style check).
//
//   build-release/bench/formats_bench

#include "formats/SimpleTextSubtitle.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QString WriteSubRip(const QTemporaryDir& dir, int entries)
{
    QByteArray text;
    for (int i = 0; i < entries; ++i) {
        const int start = i * 3000;
        const int end = start + 2500;
        auto time = [](int ms) {
            return QString::asprintf("%02d:%02d:%02d,%03d", ms / 3600000, ms / 60000 % 60,
                                     ms / 1000 % 60, ms % 1000)
                .toLatin1();
        };
        text += QByteArray::number(i + 1) + "\r\n" + time(start) + " --> " + time(end) + "\r\n";
        text += "<i>Line " + QByteArray::number(i + 1) + "</i> of the film,\r\n";
        text += "spoken by someone.\r\n\r\n";
    }
    const QString path = dir.filePath("long.srt");
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(text);
    return path;
}

void BM_OpenSubRip_10000(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = WriteSubRip(dir, 10000);
    std::size_t entries = 0;
    for (auto _ : state) {
        CSimpleTextSubtitle script;
        script.OpenScriptFile(path, 1, "");
        entries = script.entries.size();
    }
    if (entries != 10000)
        state.SkipWithError("not every entry was read");
    state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(BM_OpenSubRip_10000)->Unit(benchmark::kMillisecond);

}  // namespace

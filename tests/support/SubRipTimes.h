#pragma once
// The times of a SubRip script's entries, read with a pattern of our own
// rather than through the readers under test.

#include <QFile>
#include <QRegularExpression>
#include <QString>

#include <vector>

struct SEntryTimes {
    int Start = 0;  // ms
    int End = 0;
};

// The start and end of every entry, in file order; empty when the file
// cannot be read.
inline std::vector<SEntryTimes> ReadSubRipTimes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(file.readAll());
    static const QRegularExpression pattern(
        R"((\d+):(\d+):(\d+),(\d+)\s*-->\s*(\d+):(\d+):(\d+),(\d+))");
    std::vector<SEntryTimes> times;
    for (auto it = pattern.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        const auto ms = [&](int first) {
            return ((match.captured(first).toInt() * 60 + match.captured(first + 1).toInt()) * 60 +
                    match.captured(first + 2).toInt()) *
                       1000 +
                   match.captured(first + 3).toInt();
        };
        times.push_back({ms(1), ms(5)});
    }
    return times;
}

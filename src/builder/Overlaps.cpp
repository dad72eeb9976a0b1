#include "Overlaps.h"

#include "platform/SettingsStore.h"
#include "platform/UserMessages.h"
#include "source/TextSub.h"

#include <algorithm>
#include <set>

namespace {

const char* const ModeNames[OverlapModeCount] = {"refuse", "trim", "join"};

// 00:01:02,345, as the script writes it.
QString ScriptTime(std::int32_t ms)
{
    const std::int64_t t = std::max<std::int64_t>(ms, 0);
    return QString::asprintf("%02lld:%02lld:%02lld,%03lld", static_cast<long long>(t / 3600000),
                             static_cast<long long>(t / 60000 % 60),
                             static_cast<long long>(t / 1000 % 60),
                             static_cast<long long>(t % 1000));
}

bool Repairable(const SSubLine& line)
{
    return line.imageFile.isEmpty() && line.start < line.end;
}

QString LineList(const std::vector<std::size_t>& numbers)
{
    QStringList parts;
    for (std::size_t n : numbers)
        parts << QString("line %1").arg(n + 1);
    return parts.join(", ");
}

}  // namespace

const char* OverlapModeName(EOverlapMode mode)
{
    const int i = static_cast<int>(mode);
    return i >= 0 && i < OverlapModeCount ? ModeNames[i] : "";
}

std::optional<EOverlapMode> OverlapModeOf(const QString& name)
{
    for (int i = 0; i < OverlapModeCount; ++i) {
        if (name == QLatin1String(ModeNames[i]))
            return static_cast<EOverlapMode>(i);
    }
    return std::nullopt;
}

EOverlapMode StoredOverlapMode()
{
    return OverlapModeOf(ReadSettingString(QStringLiteral("Build"), QStringLiteral("Overlaps"))
                             .trimmed()
                             .toLower())
        .value_or(EOverlapMode::Refuse);
}

void StoreOverlapMode(EOverlapMode mode)
{
    WriteSettingString(QStringLiteral("Build"), QStringLiteral("Overlaps"),
                       QLatin1String(OverlapModeName(mode)));
}

void ReportOverlapRepair(const QString& path, const COverlapRepair& repair)
{
    if (repair.Changes().isEmpty())
        return;
    UserMessages().Show(QString("%1\n%2").arg(path, repair.Changes().join('\n')),
                        EMessageKind::Warning);
}

COverlapRepair::COverlapRepair(CTextSub* source, EOverlapMode mode) : source_(source)
{
    if (!source_ || mode == EOverlapMode::Refuse || !source_->Engine())
        return;
    saved_ = source_->lines;
    savedEntries_ = source_->Engine()->entries.size();

    std::set<std::size_t> tooShort;  // lines that could not be trimmed
    std::vector<SSubLine>& lines = source_->lines;
    // Joins move lines; messages of the build still name them as loaded.
    for (std::size_t i = 0; i < lines.size(); ++i)
        lines[i].loadedIndex = LoadedLineIndex(lines[i], static_cast<int>(i));
    if (mode == EOverlapMode::Trim) {
        for (std::size_t i = 1; i < lines.size(); ++i) {
            SSubLine& earlier = lines[i - 1];
            const SSubLine& later = lines[i];
            if (!Repairable(earlier) || !Repairable(later) || later.start >= earlier.end)
                continue;
            if (later.start - earlier.start < ShortestTrimmedLine) {
                tooShort.insert(i);
                continue;
            }
            earlier.end = later.start;
            changes_ << QString("line %1: ends at %2 where line %3 starts (trimmed)")
                            .arg(i)
                            .arg(ScriptTime(later.start))
                            .arg(i + 1);
        }
    }

    // Runs of overlapping lines, from the end so that the indexes of the
    // runs still to come stay as they are.
    std::vector<std::pair<std::size_t, std::size_t>> runs;
    for (std::size_t i = 0; i < lines.size();) {
        if (!Repairable(lines[i])) {
            ++i;
            continue;
        }
        std::int32_t end = lines[i].end;
        std::size_t j = i + 1;
        while (j < lines.size() && Repairable(lines[j]) && lines[j].start < end) {
            end = std::max(end, lines[j].end);
            ++j;
        }
        if (j - i > 1)
            runs.emplace_back(i, j - 1);
        i = j;
    }
    // The messages name the lines as loaded; trimming moved no line.
    QStringList joined;
    for (const auto& [first, last] : runs) {
        for (std::size_t k = first + 1; k <= last; ++k) {
            std::vector<std::size_t> with;
            std::int32_t until = lines[k].start;
            for (std::size_t j = first; j < k; ++j) {
                if (lines[j].end > lines[k].start) {
                    with.push_back(j);
                    until = std::max(until, std::min(lines[j].end, lines[k].end));
                }
            }
            if (with.empty())
                continue;
            QString text = QString("line %1: ").arg(k + 1);
            if (tooShort.count(k) != 0)
                text += QString("starts %1 ms after line %2, too soon to trim; ")
                            .arg(lines[k].start - lines[k - 1].start)
                            .arg(k);
            text += QString("shown with %1 from %2 to %3 (joined)")
                        .arg(LineList(with), ScriptTime(lines[k].start), ScriptTime(until));
            joined << text;
        }
    }
    changes_ << joined;
    for (auto it = runs.rbegin(); it != runs.rend(); ++it)
        Join(it->first, it->second);
    source_->CheckTimings();
}

COverlapRepair::~COverlapRepair()
{
    if (saved_.empty() || !source_)
        return;
    source_->lines = std::move(saved_);
    if (CRenderedTextSubtitle* engine = source_->Engine()) {
        engine->entries.resize(savedEntries_);
        engine->NotifyChanged();
    }
}

void COverlapRepair::Join(std::size_t first, std::size_t last)
{
    std::vector<SSubLine>& lines = source_->lines;
    std::vector<std::int32_t> cuts;
    for (std::size_t k = first; k <= last; ++k) {
        cuts.push_back(lines[k].start);
        cuts.push_back(lines[k].end);
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());

    std::vector<SSubLine> pieces;
    for (std::size_t c = 0; c + 1 < cuts.size(); ++c) {
        const std::int32_t from = cuts[c], to = cuts[c + 1];
        std::vector<std::size_t> shown;
        for (std::size_t k = first; k <= last; ++k) {
            if (lines[k].start <= from && lines[k].end >= to)
                shown.push_back(k);
        }
        if (shown.empty())
            continue;
        SSubLine piece = lines[shown.front()];
        piece.loadedIndex = LoadedLineIndex(piece, static_cast<int>(shown.front()));
        piece.start = from;
        piece.end = to;
        if (shown.size() > 1)
            piece.entryIndex = JoinedEntry(shown);
        pieces.push_back(piece);
    }
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(first),
                lines.begin() + static_cast<std::ptrdiff_t>(last + 1));
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(first), pieces.begin(), pieces.end());
}

std::int32_t COverlapRepair::JoinedEntry(const std::vector<std::size_t>& shown)
{
    CRenderedTextSubtitle& engine = *source_->Engine();
    const std::vector<SSubLine>& lines = source_->lines;
    STSEntry joined = engine.entries.at(static_cast<std::size_t>(lines[shown.front()].entryIndex));
    QString text;
    for (std::size_t k : shown) {
        const int entry = lines[k].entryIndex;
        if (!text.isEmpty()) {
            // Each line starts again from its own style, not from where the
            // line above left its tags.
            text +=
                QStringLiteral("\\N{\\r") +
                QString::fromStdString(engine.entries.at(static_cast<std::size_t>(entry)).style) +
                QStringLiteral("}");
        }
        text += engine.EntryText(entry);
    }
    joined.text = text;
    joined.unicodeText = true;
    joined.readOrder = static_cast<std::int32_t>(engine.entries.size());
    engine.entries.push_back(std::move(joined));
    return static_cast<std::int32_t>(engine.entries.size() - 1);
}

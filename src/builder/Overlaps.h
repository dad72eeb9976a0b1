#pragma once
// Lines of one script that overlap in time: refused (the default), trimmed,
// or shown together for the time they overlap.

#include "source/SubBase.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class CTextSub;

enum class EOverlapMode { Refuse = 0, Trim = 1, Join = 2 };
inline constexpr int OverlapModeCount = 3;

// "refuse", "trim", "join".
const char* OverlapModeName(EOverlapMode mode);
std::optional<EOverlapMode> OverlapModeOf(const QString& name);

// The choice kept in the settings (section "Build", key "Overlaps", one of
// the names); refuse when it is absent or unknown.
EOverlapMode StoredOverlapMode();
void StoreOverlapMode(EOverlapMode mode);

// A line shown shorter than this is not trimmed: the pair is joined.
inline constexpr std::int32_t ShortestTrimmedLine = 250;  // ms

// Repairs the overlaps of a text source's lines, one change per line in
// `changes` ("line 12: ends at 00:01:02,345 where line 13 starts
// (trimmed)"), line numbers counted from 1 in the source as loaded. Line
// times marked bad for another reason (a start at or after the end) are
// left alone, and so are picture lines. Trim ends the earlier line where
// the next starts; a pair where that leaves less than ShortestTrimmedLine is
// joined instead. Join replaces every run of overlapping lines by lines for
// the times between their starts and ends, each showing the lines on
// screen then, in start order, one under the other. The source's timing
// marks are computed again. Everything is undone when the repair goes.
class COverlapRepair {
public:
    COverlapRepair(CTextSub* source, EOverlapMode mode);
    ~COverlapRepair();
    COverlapRepair(const COverlapRepair&) = delete;
    COverlapRepair& operator=(const COverlapRepair&) = delete;

    const QStringList& Changes() const { return changes_; }

private:
    void Trim();
    void Join(std::size_t first, std::size_t last);
    // The entry that shows `lines` together, added to the engine.
    std::int32_t JoinedEntry(const std::vector<std::size_t>& lines);

    CTextSub* source_;
    std::vector<SSubLine> saved_;
    std::size_t savedEntries_ = 0;
    QStringList changes_;
};

// Tells the user what a repair changed in the script at `path`: one
// warning, a line for each change; nothing when nothing changed.
void ReportOverlapRepair(const QString& path, const COverlapRepair& repair);

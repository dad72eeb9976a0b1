#include "LineGroups.h"

#include "pgs/Timing.h"

#include <algorithm>
#include <cstddef>
#include <limits>

namespace {

constexpr std::int32_t OpenEnd = std::numeric_limits<std::int32_t>::max();

// A silence of two frames or less is not a pause: the decoder could not
// start a new epoch in it anyway.
constexpr std::int64_t ShortestPause = 3;

// Frames of a line time. Times are taken as unsigned like everywhere in the
// stream; a frame past the open end of time is pinned to it so that it
// still fits the pause fields.
std::int32_t FrameOf(std::int32_t ms, double rate)
{
    const std::uint32_t frame = MsToFrame(static_cast<std::uint32_t>(ms), rate);
    return static_cast<std::int32_t>(std::min<std::uint32_t>(frame, OpenEnd));
}

// The pause both sources share, as the last line of each before it; -1 for
// a source whose line was already reported or that has none.
struct SCommonPause {
    std::int32_t line0 = -1;
    std::int32_t line1 = -1;
};

// Reports a line of one source unless it was reported before. The lines of
// the pauses grow along each list, so "before" only ever means "the last".
std::int32_t TakeLine(std::int32_t line, std::int32_t& lastReported)
{
    if (line == lastReported)
        return -1;
    lastReported = line;
    return line;
}

std::vector<SCommonPause> MakeCommonPauses(const std::vector<SIdleGap>& gaps0,
                                           const std::vector<SIdleGap>& gaps1)
{
    std::vector<SCommonPause> pauses;
    std::int32_t last0 = -1;
    std::int32_t last1 = -1;
    std::size_t i0 = 0;
    std::size_t i1 = 0;
    while (i0 < gaps0.size() && i1 < gaps1.size()) {
        const SIdleGap& p = gaps0[i0];
        const SIdleGap& q = gaps1[i1];
        const std::int64_t overlap =
            std::int64_t{std::min(p.lastFrame, q.lastFrame)} - std::max(p.firstFrame, q.firstFrame);
        if (overlap >= ShortestPause) {
            const SCommonPause pause{TakeLine(p.lastLine, last0), TakeLine(q.lastLine, last1)};
            if (p.lastFrame < q.lastFrame)
                ++i0;
            else
                ++i1;
            if (pause.line0 != -1 || pause.line1 != -1)
                pauses.push_back(pause);
        } else if (p.firstFrame < q.firstFrame) {
            ++i0;
        } else {
            ++i1;
        }
    }
    // Once one source has no pause left, each further pause of the other is
    // silence of both.
    for (; i0 < gaps0.size(); ++i0) {
        const std::int32_t line = TakeLine(gaps0[i0].lastLine, last0);
        if (line != -1)
            pauses.push_back({line, -1});
    }
    for (; i1 < gaps1.size(); ++i1) {
        const std::int32_t line = TakeLine(gaps1[i1].lastLine, last1);
        if (line != -1)
            pauses.push_back({-1, line});
    }
    return pauses;
}

}  // namespace

std::vector<SIdleGap> MakeIdleGaps(const std::vector<SSubLine>& lines, double rate)
{
    std::vector<SIdleGap> gaps;
    if (lines.empty())
        return gaps;
    const std::int32_t firstStart = FrameOf(lines.front().start, rate);
    if (firstStart >= ShortestPause)
        gaps.push_back({-1, 0, firstStart});
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        const std::int32_t end = FrameOf(lines[i].end, rate);
        const std::int32_t nextStart = FrameOf(lines[i + 1].start, rate);
        // 64-bit: the end may be pinned at the open end of time.
        if (std::int64_t{nextStart} - end >= ShortestPause)
            gaps.push_back({static_cast<std::int32_t>(i), end, nextStart});
    }
    gaps.push_back(
        {static_cast<std::int32_t>(lines.size() - 1), FrameOf(lines.back().end, rate), OpenEnd});
    return gaps;
}

std::vector<SLineGroup> MakeLineGroups(const std::vector<SSubLine>& lines0,
                                       const std::vector<SSubLine>& lines1, double rate)
{
    const std::vector<SCommonPause> pauses =
        MakeCommonPauses(MakeIdleGaps(lines0, rate), MakeIdleGaps(lines1, rate));

    // The reported lines of each source strictly grow, so every group gets
    // a non-empty, contiguous range of each source it names.
    std::vector<SLineGroup> groups;
    std::int32_t next0 = 0;
    std::int32_t next1 = 0;
    for (const SCommonPause& pause : pauses) {
        SLineGroup& group = groups.emplace_back();
        if (pause.line0 != -1) {
            group.first0 = next0;
            group.last0 = pause.line0;
            next0 = pause.line0 + 1;
        }
        if (pause.line1 != -1) {
            group.first1 = next1;
            group.last1 = pause.line1;
            next1 = pause.line1 + 1;
        }
    }

    // The walk passes over a pause unreported only when it starts first (or
    // together, for source 1) and shares less than three frames with the
    // other source's pause. An open pause reaches to the end of time, so
    // what it shares with a pause starting later is that whole pause, at
    // least three frames wide - except an open pause whose line ends within
    // two frames of the end of time. Only against such a pinned pause can a
    // source's open pause be passed over and its trailing lines be left
    // out; they join the last group instead.
    const auto lineCount0 = static_cast<std::int32_t>(lines0.size());
    const auto lineCount1 = static_cast<std::int32_t>(lines1.size());
    if (next0 < lineCount0 || next1 < lineCount1) {
        if (groups.empty())
            groups.emplace_back();
        SLineGroup& group = groups.back();
        if (next0 < lineCount0) {
            if (group.first0 == -1)
                group.first0 = next0;
            group.last0 = lineCount0 - 1;
        }
        if (next1 < lineCount1) {
            if (group.first1 == -1)
                group.first1 = next1;
            group.last1 = lineCount1 - 1;
        }
    }
    return groups;
}

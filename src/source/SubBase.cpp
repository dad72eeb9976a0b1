#include "SubBase.h"

#include "PictureLine.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <utility>

namespace {

// Line times are handled as unsigned milliseconds here, as the stream
// handles them.
std::uint32_t U(std::int32_t ms)
{
    return static_cast<std::uint32_t>(ms);
}

std::int32_t S(std::uint32_t ms)
{
    return static_cast<std::int32_t>(ms);
}

std::uint32_t Nearest(double value)
{
    return static_cast<std::uint32_t>(value + 0.5);
}

}  // namespace

bool CSubBase::GetLineImage(int lineIndex, SLineRequest& request)
{
    return GetPictureLineImage(lineIndex, request);
}

bool CSubBase::GetPictureLineImage(int lineIndex, SLineRequest& request)
{
    request.image = QImage();
    if (lineIndex < 0 || static_cast<std::size_t>(lineIndex) >= lines.size())
        return false;
    const SSubLine& line = lines[static_cast<std::size_t>(lineIndex)];
    if (line.imageFile.isEmpty())
        return false;
    // The line's own position goes in first: whether it is placed
    // explicitly decides its reference frame, and a reused request must
    // not carry the position of the line before.
    request.posX = line.posX;
    request.posY = line.posY;
    return LoadImageLine(line.imageFile, request, imageFrame);
}

void CSubBase::NormalizeTimes(double fps)
{
    const std::uint32_t minimum = Nearest(6000 / fps);
    const std::uint32_t longLine = Nearest(15000 / fps);
    const std::uint32_t gap = Nearest(5000 / fps);

    std::stable_sort(lines.begin(), lines.end(),
                     [](const SSubLine& a, const SSubLine& b) { return U(a.start) < U(b.start); });
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i].end == 0)
            lines[i].end = lines[i + 1].start;
    }

    // A long run of touching lines reads as one block; after ten of them a
    // gap goes into the longer line of the pair.
    int touching = 0;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        SSubLine& a = lines[i];
        SSubLine& b = lines[i + 1];
        if (a.end != b.start) {
            touching = 0;
            continue;
        }
        if (++touching < 10)
            continue;
        const std::uint32_t d1 = U(a.end) - U(a.start);
        const std::uint32_t d2 = U(b.end) - U(b.start);
        if (d1 <= longLine && d2 <= longLine)
            continue;
        if (d1 > d2)
            a.end = S(U(a.end) - gap);
        else
            b.start = S(U(b.start) + gap);
        touching = 0;
    }

    for (std::size_t i = 0; i < lines.size(); ++i) {
        SSubLine& line = lines[i];
        const std::uint32_t startFrame = Nearest(U(line.start) * fps / 1000);
        const std::uint32_t endFrame = Nearest(U(line.end) * fps / 1000);
        if (std::uint64_t{endFrame} >= std::uint64_t{startFrame} + 6)
            continue;
        line.end = S(U(line.start) + minimum);
        if (i + 1 < lines.size() && U(lines[i + 1].start) < U(line.end))
            lines[i + 1].start = line.end;
    }
}

void CSubBase::RepairTimes(double fps)
{
    // The repair would run an untimed picture line from 0 to the next
    // line's start and sort it to the top: a picture the user has not
    // timed yet would then be built over the opening of the film.
    std::vector<std::pair<std::size_t, SSubLine>> untimed;
    std::vector<SSubLine> timed;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const SSubLine& line = lines[i];
        if (!line.imageFile.isEmpty() && line.start == 0 && line.end == 0)
            untimed.emplace_back(i, line);
        else
            timed.push_back(line);
    }
    lines = std::move(timed);
    NormalizeTimes(fps);
    // In ascending order of their old places, so each goes back to its own.
    for (auto& [index, line] : untimed)
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(std::min(index, lines.size())),
                     std::move(line));
}

void CSubBase::CheckLineTiming(int lineIndex)
{
    SSubLine& line = lines.at(static_cast<std::size_t>(lineIndex));
    bool bad = line.start >= line.end;
    if (lineIndex > 0 && line.start < lines[static_cast<std::size_t>(lineIndex) - 1].end)
        bad = true;
    line.timingOk = bad ? 0 : 1;
}

int CSubBase::CheckTimings()
{
    int bad = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        CheckLineTiming(static_cast<int>(i));
        bad += lines[i].timingOk == 0 ? 1 : 0;
    }
    return bad;
}

int CSubBase::InsertImageLine(const QString& path, QPoint position, int index, int flag)
{
    SSubLine line;
    line.source = this;
    line.imageFile = path;
    line.entryIndex = 0;
    line.start = line.end = 0;
    line.insertFlag = flag;
    line.posX = position.x();
    line.posY = position.y();
    line.timingOk = 0;
    line.flag2 = 1;
    line.fade = 0;
    if (index < 0 || static_cast<std::size_t>(index) > lines.size())
        index = static_cast<int>(lines.size());
    lines.insert(lines.begin() + index, line);
    return index;
}

void CSubBase::RemoveLine(int lineIndex)
{
    if (lineIndex < 0 || static_cast<std::size_t>(lineIndex) >= lines.size())
        throw std::out_of_range("line index out of range");
    lines.erase(lines.begin() + lineIndex);
}

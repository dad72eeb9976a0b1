// Ten minutes of dialogue in both sources with never a common pause: the
// builder may only start a new epoch where both sources pause, so a stream
// like this once ran into one epoch with hundreds of objects, which FFmpeg
// stops drawing after some forty seconds. The stream must hold to the
// decoder model, and FFmpeg must still draw the last lines at their times
// and places.

#include "cli/Commands.h"
#include "pgs/Timing.h"

#include "support/InkCompare.h"
#include "support/PeerDecoders.h"
#include "support/RecordedMessages.h"
#include "support/RunTandeo.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <random>
#include <sstream>

namespace {

constexpr int Width = 1920;
constexpr int Height = 1080;
constexpr int ScriptLength = 10 * 60 * 1000;  // ms
// The last stretch of the stream whose lines must still show.
constexpr int LastStretch = 20000;
// The probes are this far from any line's start or end, so that the frame
// rounding of either rate cannot move a change of state onto a probe.
constexpr int ProbeMargin = 100;  // ms
// The probe video's rate: ffmpeg overlays every frame of the whole ten
// minutes, so a slow rate keeps that quick; frame n is at n / 2 s.
constexpr int ProbeRate = 2;
const QRgb Background = qRgb(0x00, 0x80, 0x80);
// FFmpeg lays a new picture over the video only from the video frame after
// the one it arrives with: at the probe rate a line must have been on screen
// for a whole probe frame before it can be seen.
constexpr int OverlayLag = 1000 / ProbeRate;  // ms

struct SLine {
    int Start = 0;  // ms
    int End = 0;
};

struct SDialogue {
    std::vector<SLine> Sides[2];  // top, bottom
};

const char* const SideNames[] = {"top", "bottom"};

// Lines of 0.3 to 2 s. The bottom lines come with pauses of up to 0.6 s
// between them; the top lines follow each other back to back and pause only
// inside a bottom line, so that the two never pause together.
SDialogue MakeDialogue(std::uint32_t seed)
{
    std::mt19937 random(seed);
    const auto between = [&](int low, int high) { return low + int(random() % (high - low + 1)); };
    SDialogue dialogue;
    std::vector<SLine>& bottom = dialogue.Sides[1];
    for (int t = 500; t < ScriptLength;) {
        const int start = t + (random() % 3 == 0 ? 0 : between(50, 600));
        bottom.push_back({start, start + between(300, 2000)});
        t = bottom.back().End;
    }
    std::vector<SLine>& top = dialogue.Sides[0];
    for (int t = 200; t < ScriptLength;) {
        int pause = random() % 2 == 0 ? 0 : between(100, 600);
        // A pause must lie well inside one bottom line.
        const bool covered = std::any_of(bottom.begin(), bottom.end(), [&](const SLine& line) {
            return line.Start + 60 <= t && t + pause + 60 <= line.End;
        });
        if (!covered)
            pause = 0;
        const int start = t + pause;
        top.push_back({start, start + between(300, 2000)});
        t = top.back().End;
    }
    return dialogue;
}

QString TimeText(int ms)
{
    return QString("%1:%2:%3,%4")
        .arg(ms / 3600000, 2, 10, QChar('0'))
        .arg(ms / 60000 % 60, 2, 10, QChar('0'))
        .arg(ms / 1000 % 60, 2, 10, QChar('0'))
        .arg(ms % 1000, 3, 10, QChar('0'));
}

QString LineText(int side, std::size_t index)
{
    return QString("Line %1 %2").arg(index + 1).arg(SideNames[side]);
}

bool WriteSubRip(const QString& path, int side, const std::vector<SLine>& lines)
{
    QByteArray text;
    for (std::size_t i = 0; i < lines.size(); ++i)
        text += QString("%1\n%2 --> %3\n%4\n\n")
                    .arg(i + 1)
                    .arg(TimeText(lines[i].Start), TimeText(lines[i].End), LineText(side, i))
                    .toUtf8();
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

// The line of `lines` showing at `ms`, clear of its ends by the margin; -1
// when there is none.
int ShownAt(const std::vector<SLine>& lines, int ms)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].Start + OverlayLag + ProbeMargin <= ms && ms + ProbeMargin <= lines[i].End)
            return int(i);
    }
    return -1;
}

struct SRate {
    const char* Label;
    double Value;
};

void PrintTo(const SRate& rate, std::ostream* os)
{
    *os << rate.Label << " fps";
}

class DenseDialogueTest : public ::testing::TestWithParam<SRate> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        Settings = Dir.filePath("empty.ini");
        QFile file(Settings);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        Dialogue = MakeDialogue(20240613);
        for (int side = 0; side < 2; ++side) {
            Scripts[side] = Dir.filePath(QString("%1.srt").arg(SideNames[side]));
            ASSERT_TRUE(WriteSubRip(Scripts[side], side, Dialogue.Sides[side]));
        }
    }

    // Our own frame of one line, over the background.
    const QImage& Rendered(int side, int index)
    {
        QImage& image = Renders[{side, index}];
        if (image.isNull()) {
            const QString png = Dir.filePath(QString("render-%1-%2.png").arg(side).arg(index));
            std::string output;
            EXPECT_EQ(
                RunTandeo({"render", Scripts[side], QString::number(index + 1), "-o", png, "--side",
                           SideNames[side], "--video-size", "1920x1080", "--settings", Settings},
                          &output),
                0)
                << output;
            image = QImage(png).convertToFormat(QImage::Format_RGB32);
        }
        return image;
    }

    QTemporaryDir Dir;
    QString Settings;
    SDialogue Dialogue;
    QString Scripts[2];
    std::map<std::pair<int, int>, QImage> Renders;
    CRecordedMessages Messages;
};

}  // namespace

TEST_P(DenseDialogueTest, TheStreamHoldsAndFfmpegDrawsItToTheEnd)
{
    const SRate rate = GetParam();

    // The scripts themselves: hundreds of lines a side, and from the first
    // line to the last never a moment with neither source showing one.
    ASSERT_GE(Dialogue.Sides[0].size(), 400u);
    ASSERT_GE(Dialogue.Sides[1].size(), 400u);
    {
        std::vector<SLine> all(Dialogue.Sides[0]);
        all.insert(all.end(), Dialogue.Sides[1].begin(), Dialogue.Sides[1].end());
        std::sort(all.begin(), all.end(),
                  [](const SLine& a, const SLine& b) { return a.Start < b.Start; });
        int covered = all.front().End;
        for (const SLine& line : all) {
            ASSERT_LE(line.Start, covered)
                << "both sources pause at " << TimeText(covered).toStdString();
            covered = std::max(covered, line.End);
        }
    }

    const QString sup = Dir.filePath(QString("dense-%1.sup").arg(rate.Label));
    std::string output;
    ASSERT_EQ(
        RunTandeo({"build", "--top", Scripts[0], "--bottom", Scripts[1], "-o", sup, "--video-size",
                   "1920x1080", "--fps", rate.Label, "--settings", Settings, "--force", "--quiet"},
                  &output),
        0)
        << output;

    std::string report;
    EXPECT_EQ(RunTandeo({"verify", sup}, &output, &report), 0) << report << output;

    // Probes where both sources show a line: one early, one half way, and
    // three in the last stretch, the very end among them.
    const int end = std::min(Dialogue.Sides[0].back().End, Dialogue.Sides[1].back().End);
    std::vector<int> candidates;
    for (int frame = 0; frame * 1000 / ProbeRate < end; ++frame) {
        const int ms = frame * 1000 / ProbeRate;
        if (ShownAt(Dialogue.Sides[0], ms) >= 0 && ShownAt(Dialogue.Sides[1], ms) >= 0)
            candidates.push_back(frame);
    }
    const auto firstFrom = [&](int ms) {
        return std::lower_bound(candidates.begin(), candidates.end(), ms * ProbeRate / 1000);
    };
    std::vector<int> frames;
    for (int ms : {30000, ScriptLength / 2}) {
        const auto it = firstFrom(ms);
        ASSERT_NE(it, candidates.end());
        frames.push_back(*it);
    }
    const auto last = firstFrom(end - LastStretch);
    const std::ptrdiff_t lastCount = candidates.end() - last;
    ASSERT_GE(lastCount, 3) << "too few moments near the end with both sources showing";
    for (std::ptrdiff_t i : {std::ptrdiff_t(0), lastCount / 2, lastCount - 1})
        frames.push_back(*(last + i));

    const SDecodedFrames decoded =
        FfmpegOverColour(sup, QSize(Width, Height), QString::number(ProbeRate), ProbeRate,
                         Background, frames, Dir.filePath("frames.raw"), QRect(), "warning");
    ASSERT_TRUE(decoded.Ok()) << decoded.Problem;
    // FFmpeg's PGS decoder says nothing about a sound stream; over the old
    // single epoch it said "Too many objects in epoch" and "Invalid object
    // id 64" and drew nothing more.
    QStringList complaints;
    for (const QString& line : QString::fromUtf8(decoded.Run.Errors).split('\n')) {
        if (line.contains("[pgssub"))
            complaints << line;
    }
    EXPECT_TRUE(complaints.empty()) << complaints.size() << " complaints from ffmpeg, first:\n"
                                    << complaints.mid(0, 5).join('\n').toStdString();

    for (std::size_t p = 0; p < frames.size(); ++p) {
        const int ms = frames[p] * 1000 / ProbeRate;
        std::vector<SRenderedLine> lines;
        for (int side = 0; side < 2; ++side) {
            const int index = ShownAt(Dialogue.Sides[side], ms);
            lines.push_back(
                {&Rendered(side, index), LineText(side, std::size_t(index)).toStdString()});
        }
        ExpectShowsLines(decoded.Frames[p], lines, Background, "at" + TimeText(ms).toStdString());
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, DenseDialogueTest,
                         ::testing::Values(SRate{"23.976", 24000.0 / 1001.0},
                                           SRate{"59.94", 60000.0 / 1001.0}),
                         [](const ::testing::TestParamInfo<SRate>& info) {
                             return info.param.Value < 30 ? std::string("Fps23976")
                                                          : std::string("Fps5994");
                         });

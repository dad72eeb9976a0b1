// The whole chain on the bundled samples: both scripts built to a ".sup" and
// to a ".pes" with its index, both read back, and ffmpeg's picture of the
// ".sup" compared with our own rendering of the lines each state shows.

#include "cli/Commands.h"
#include "pgs/StreamReader.h"
#include "pgs/Timing.h"
#include "support/DecodableStream.h"
#include "support/RunTandeo.h"

#include "support/InkCompare.h"
#include "support/PeerDecoders.h"
#include "support/RecordedMessages.h"
#include "support/SubRipTimes.h"

#include <QFile>
#include <QImage>
#include <QRect>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

namespace {

const QString SamplesDir = QStringLiteral(TANDEO_SAMPLES_DIR);
constexpr int Width = 1920;
constexpr int Height = 1080;
// 90 kHz ticks per frame at 24000/1001.
constexpr double TicksPerFrame = 90000.0 * 1001.0 / 24000.0;
// Most states we hand to ffmpeg; the rest are skipped evenly.
constexpr std::size_t MostStates = 12;

struct SSide {
    const char* Script;
    const char* Side;
};
const SSide Sides[] = {{"top-zh.srt", "top"}, {"bottom-en.srt", "bottom"}};

// One display state: the frames from one PCS to the next.
struct SState {
    int FirstFrame = 0;
    int EndFrame = 0;  // exclusive
    bool HasObjects = false;
    int Middle() const { return (FirstFrame + EndFrame) / 2; }
};

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        Settings = Dir.filePath("empty.ini");
        QFile file(Settings);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    // Builds both samples to `output` with the default styles.
    void Build(const QString& output)
    {
        std::string errors;
        ASSERT_EQ(RunTandeo({"build", "--top", SamplesDir + "/top-zh.srt", "--bottom",
                             SamplesDir + "/bottom-en.srt", "-o", output, "--video-size",
                             "1920x1080", "--fps", "23.976", "--matrix", "709", "--settings",
                             Settings, "--force", "--quiet"},
                            &errors),
                  0)
            << errors;
    }

    CEpochData Read(const QString& path)
    {
        SStreamContent content = ReadStreamFile(path);
        EXPECT_TRUE(content.Ok()) << path.toStdString() << ": " << content.Error;
        ExpectDecodableFile(path);
        return TakeDisplaySets(content);
    }

    // Our own frame for one source line, over #008080.
    const QImage& Rendered(int side, int line)
    {
        QImage& image = Renders[{side, line}];
        if (image.isNull()) {
            const QString png = Dir.filePath(QString("render-%1-%2.png").arg(side).arg(line));
            std::string errors;
            EXPECT_EQ(
                RunTandeo({"render", SamplesDir + "/" + Sides[side].Script, QString::number(line),
                           "-o", png, "--side", Sides[side].Side, "--settings", Settings},
                          &errors),
                0)
                << errors;
            image = QImage(png).convertToFormat(QImage::Format_RGB32);
            EXPECT_EQ(image.size(), QSize(Width, Height));
        }
        return image;
    }

    QTemporaryDir Dir;
    QString Settings;
    std::map<std::pair<int, int>, QImage> Renders;
    CRecordedMessages Messages;
};

// Every segment of a set, in stream order.
std::vector<const CSegmentBase*> SegmentsOf(const CDsData& set)
{
    std::vector<const CSegmentBase*> segments{&set.Pcs};
    if (set.Wds)
        segments.push_back(&*set.Wds);
    for (const CPds& pds : set.Palettes)
        segments.push_back(&pds);
    for (const COds& ods : set.Objects)
        segments.push_back(&ods);
    if (set.End)
        segments.push_back(&*set.End);
    return segments;
}

std::vector<CSegmentBase*> SegmentsOf(CDsData& set)
{
    std::vector<CSegmentBase*> segments;
    for (const CSegmentBase* segment : SegmentsOf(std::as_const(set)))
        segments.push_back(const_cast<CSegmentBase*>(segment));
    return segments;
}

}  // namespace

TEST_F(EndToEndTest, PesAndMuiHoldTheSameDisplaySetsAsTheSup)
{
    const QString sup = Dir.filePath("samples.sup");
    const QString pes = Dir.filePath("samples.pes");
    Build(sup);
    Build(pes);
    ASSERT_TRUE(QFile::exists(pes + ".mui"));
    const CEpochData fromSup = Read(sup);
    CEpochData fromPes = Read(pes);
    ASSERT_FALSE(fromSup.empty());
    ASSERT_EQ(fromPes.size(), fromSup.size());
    for (std::size_t i = 0; i < fromSup.size(); ++i) {
        SCOPED_TRACE("display set " + std::to_string(i));
        const std::vector<const CSegmentBase*> expected = SegmentsOf(fromSup[i]);
        const std::vector<CSegmentBase*> got = SegmentsOf(fromPes[i]);
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t s = 0; s < got.size(); ++s) {
            const CSegmentBase& want = *expected[s];
            CSegmentBase& have = *got[s];
            ASSERT_EQ(have.Type, want.Type) << "segment " << s;
            const std::int64_t pts = std::int64_t(have.PTS) - want.PTS;
            EXPECT_TRUE(pts > -4 && pts < 4)
                << "segment " << s << " PTS " << have.PTS << " for " << want.PTS;
            // The index has no room for a DTS of 0: the PTS stands in.
            const std::int64_t dts = std::int64_t(have.DTS) - (want.DTS == 0 ? want.PTS : want.DTS);
            EXPECT_TRUE(dts > -2 && dts < 2) << "segment " << s << " DTS " << have.DTS << " for "
                                             << want.DTS << " (PTS " << want.PTS << ")";
            have.PTS = want.PTS;
            have.DTS = want.DTS;
        }
        EXPECT_TRUE(fromPes[i] == fromSup[i]);
    }
}

TEST_F(EndToEndTest, FfmpegShowsWhatWeRenderWhereWeRenderIt)
{
    const QString sup = Dir.filePath("samples.sup");
    Build(sup);
    const CEpochData sets = Read(sup);
    ASSERT_GE(sets.size(), 2u);

    // The states between one PCS and the next, and the frame area that any
    // window of the stream covers (nothing can show outside it).
    std::vector<SState> states;
    QRect area;
    for (std::size_t i = 0; i + 1 < sets.size(); ++i) {
        SState state;
        state.FirstFrame = int(std::lround(sets[i].Pcs.PTS / TicksPerFrame));
        state.EndFrame = int(std::lround(sets[i + 1].Pcs.PTS / TicksPerFrame));
        state.HasObjects = !sets[i].Pcs.Objects.empty();
        if (state.EndFrame > state.FirstFrame)
            states.push_back(state);
        if (sets[i].Wds) {
            for (const SWindow& w : sets[i].Wds->Windows)
                area |= QRect(w.X, w.Y, w.Width, w.Height);
        }
    }
    ASSERT_FALSE(states.empty());
    area = area.adjusted(-8, -8, 8, 8) & QRect(0, 0, Width, Height);

    // Which lines each state shows, by time.
    const std::vector<SEntryTimes> times[] = {ReadSubRipTimes(SamplesDir + "/" + Sides[0].Script),
                                              ReadSubRipTimes(SamplesDir + "/" + Sides[1].Script)};
    ASSERT_FALSE(times[0].empty());
    ASSERT_FALSE(times[1].empty());
    struct SShown {
        SState State;
        std::vector<std::pair<int, int>> Lines;  // (side, 1-based line)
    };
    std::vector<SShown> all;
    for (const SState& state : states) {
        SShown shown{state, {}};
        // A line shows from the frame of its start to the frame of its end,
        // both rounded as the builder rounds them.
        const int frame = state.Middle();
        for (int side = 0; side < 2; ++side) {
            for (std::size_t line = 0; line < times[side].size(); ++line) {
                const SEntryTimes& t = times[side][line];
                if (int(MsToFrame(std::uint32_t(t.Start), 23.976)) <= frame &&
                    frame < int(MsToFrame(std::uint32_t(t.End), 23.976)))
                    shown.Lines.emplace_back(side, int(line) + 1);
            }
        }
        EXPECT_EQ(shown.Lines.empty(), !state.HasObjects)
            << "frame " << state.Middle() << " shows " << shown.Lines.size() << " lines";
        all.push_back(shown);
    }

    // A few states spread over the stream, with at least one showing both
    // lines, one only the top and one showing nothing. The samples' bottom
    // lines never outlast the top ones on screen, so a state with the bottom
    // line alone is taken when there is one.
    const auto kind = [](const SShown& s) {
        int k = 0;
        for (const auto& line : s.Lines)
            k |= 1 << line.first;
        return k;
    };
    std::vector<std::size_t> picked;
    for (int k = 0; k < 4; ++k) {
        const auto it =
            std::find_if(all.begin(), all.end(), [&](const SShown& s) { return kind(s) == k; });
        if (k != 2) {
            ASSERT_NE(it, all.end()) << "no state of kind " << k;
        }
        if (it != all.end())
            picked.push_back(std::size_t(it - all.begin()));
    }
    const std::size_t spread = MostStates - picked.size();
    for (std::size_t i = 0; i < spread; ++i)
        picked.push_back(i * all.size() / spread);
    std::sort(picked.begin(), picked.end());
    picked.erase(std::unique(picked.begin(), picked.end()), picked.end());

    std::vector<int> frames;
    for (std::size_t i : picked)
        frames.push_back(all[i].State.Middle());
    const QRgb background = qRgb(0x00, 0x80, 0x80);
    const SDecodedFrames decoded =
        FfmpegOverColour(sup, QSize(Width, Height), "24000/1001", 24000.0 / 1001.0, background,
                         frames, Dir.filePath("frames.raw"), area);
    ASSERT_TRUE(decoded.Ok()) << decoded.Problem;

    for (std::size_t p = 0; p < picked.size(); ++p) {
        const SShown& shown = all[picked[p]];
        std::vector<SRenderedLine> lines;
        for (const auto& [side, line] : shown.Lines)
            lines.push_back({&Rendered(side, line),
                             std::string(Sides[side].Side) + " line " + std::to_string(line)});
        ExpectShowsLines(decoded.Frames[p], lines, background,
                         "frame" + std::to_string(shown.State.Middle()));
    }
}

// The whole chain on the bundled samples: both scripts built to a ".sup" and
// to a ".pes" with its index, both read back, and ffmpeg's picture of the
// ".sup" compared with our own rendering of the lines each state shows.

#include "cli/Commands.h"
#include "pgs/StreamReader.h"
#include "pgs/Timing.h"
#include "support/DecodableStream.h"

#include "support/RecordedMessages.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

namespace {

const QString SamplesDir = QStringLiteral(TANDEO_SAMPLES_DIR);
constexpr int Width = 1920;
constexpr int Height = 1080;
// 90 kHz ticks per frame at 24000/1001.
constexpr double TicksPerFrame = 90000.0 * 1001.0 / 24000.0;
// How far a channel must be from the #008080 background to count as ink.
constexpr int InkThreshold = 40;
// Most states we hand to ffmpeg; the rest are skipped evenly.
constexpr std::size_t MostStates = 12;

struct SSide {
    const char* Script;
    const char* Side;
};
const SSide Sides[] = {{"top-zh.srt", "top"}, {"bottom-en.srt", "bottom"}};

struct STimes {
    int Start = 0;
    int End = 0;
};

// The start and end (ms) of every entry of an SRT script, in order.
std::vector<STimes> ReadTimes(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    const QString text = QString::fromUtf8(file.readAll());
    static const QRegularExpression pattern(
        R"((\d+):(\d+):(\d+),(\d+)\s*-->\s*(\d+):(\d+):(\d+),(\d+))");
    std::vector<STimes> times;
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

int RunTandeo(const QStringList& args, std::string* errors = nullptr)
{
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCommandLine(args, out, err);
    if (errors)
        *errors = err.str();
    return status;
}

bool Differs(QRgb pixel, QRgb background, int threshold)
{
    return std::abs(qRed(pixel) - qRed(background)) > threshold ||
           std::abs(qGreen(pixel) - qGreen(background)) > threshold ||
           std::abs(qBlue(pixel) - qBlue(background)) > threshold;
}

QRect InkBox(const QImage& image, QRgb background)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (Differs(row[x], background, InkThreshold))
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

// How far ffmpeg's frame may differ from ours: the mean over a line's box
// (measured 10.5 to 16.2 on the samples) and any channel inside its solid
// parts (measured 5).
constexpr double MeanTolerance = 20.0;
constexpr int SolidTolerance = 6;

bool Near(const QRect& a, const QRect& b, int slack)
{
    return std::abs(a.left() - b.left()) <= slack && std::abs(a.top() - b.top()) <= slack &&
           std::abs(a.right() - b.right()) <= slack && std::abs(a.bottom() - b.bottom()) <= slack;
}

// The mean difference per channel over `box` between `a` and `b` moved by
// `shift`.
double MeanDifference(const QImage& a, const QImage& b, const QRect& box, QPoint shift)
{
    double total = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x - shift.x(), y - shift.y());
            total += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                     std::abs(qBlue(p) - qBlue(q));
        }
    return total / (3.0 * box.width() * box.height());
}

// The largest difference of a channel between `a` and `b` over the pixels
// of `box` that lie inside a solid part of `b` (their 3 x 3 neighbourhood of
// one colour, not the background), and how many there are.
std::pair<int, int> SolidDifference(const QImage& a, const QImage& b, const QRect& box,
                                    QRgb background)
{
    int worst = 0, count = 0;
    for (int y = box.top() + 1; y < box.bottom(); ++y)
        for (int x = box.left() + 1; x < box.right(); ++x) {
            const QRgb q = b.pixel(x, y);
            bool solid = q != background;
            for (int dy = -1; dy <= 1 && solid; ++dy)
                for (int dx = -1; dx <= 1 && solid; ++dx)
                    solid = b.pixel(x + dx, y + dy) == q;
            if (!solid)
                continue;
            ++count;
            const QRgb p = a.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q))});
        }
    return {worst, count};
}

std::string Text(const QRect& r)
{
    if (r.isNull())
        return "(none)";
    return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) +
           "x" + std::to_string(r.height());
}

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
    const std::vector<STimes> times[] = {ReadTimes(SamplesDir + "/" + Sides[0].Script),
                                         ReadTimes(SamplesDir + "/" + Sides[1].Script)};
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
                const STimes& t = times[side][line];
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

    QStringList select;
    for (std::size_t i : picked)
        select << QString("eq(n\\,%1)").arg(all[i].State.Middle());
    const int lastFrame = all[picked.back()].State.Middle();
    const QString raw = Dir.filePath("frames.raw");
    QProcess ffmpeg;
    ffmpeg.start(
        "ffmpeg",
        {"-nostdin",
         "-v",
         "error",
         "-y",
         "-copyts",
         "-f",
         "lavfi",
         "-i",
         QString("color=c=0x008080:s=%1x%2:r=24000/1001:d=%3")
             .arg(Width)
             .arg(Height)
             .arg((lastFrame + 2) * 1001.0 / 24000.0, 0, 'f', 3),
         "-i",
         sup,
         "-filter_complex",
         QString("[0:v][1:s]overlay=eof_action=pass:format=rgb,select='%1',crop=%2:%3:%4:%5")
             .arg(select.join('+'))
             .arg(area.width())
             .arg(area.height())
             .arg(area.x())
             .arg(area.y()),
         "-fps_mode",
         "passthrough",
         "-f",
         "rawvideo",
         "-pix_fmt",
         "rgb24",
         raw});
    ASSERT_TRUE(ffmpeg.waitForStarted(10000));
    ASSERT_TRUE(ffmpeg.waitForFinished(60000));
    ASSERT_EQ(ffmpeg.exitCode(), 0) << ffmpeg.readAllStandardError().toStdString();
    QFile file(raw);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const qsizetype frameBytes = qsizetype(area.width()) * area.height() * 3;
    ASSERT_EQ(bytes.size(), frameBytes * qsizetype(picked.size()));

    const QRgb background = qRgb(0x00, 0x80, 0x80);
    for (std::size_t p = 0; p < picked.size(); ++p) {
        const SShown& shown = all[picked[p]];
        SCOPED_TRACE("frame " + std::to_string(shown.State.Middle()));
        // ffmpeg's frame, placed back in a whole frame of background.
        QImage decoded(Width, Height, QImage::Format_RGB32);
        decoded.fill(background);
        const auto* in = reinterpret_cast<const unsigned char*>(bytes.constData()) + p * frameBytes;
        for (int y = 0; y < area.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(decoded.scanLine(area.y() + y));
            for (int x = 0; x < area.width(); ++x, in += 3)
                row[area.x() + x] = qRgb(in[0], in[1], in[2]);
        }
        // Our frame: every line shown, each over the same background.
        QImage expected(Width, Height, QImage::Format_RGB32);
        expected.fill(background);
        QRect expectedBox;
        std::vector<QRect> lineBoxes;
        for (const auto& [side, line] : shown.Lines) {
            const QImage& render = Rendered(side, line);
            if (render.size() != expected.size())
                continue;
            const QRect box = InkBox(render, background);
            EXPECT_FALSE(box.isNull()) << Sides[side].Side << " line " << line;
            expectedBox |= box;
            lineBoxes.push_back(box);
            for (int y = box.top(); y <= box.bottom(); ++y) {
                const auto* from = reinterpret_cast<const QRgb*>(render.constScanLine(y));
                auto* to = reinterpret_cast<QRgb*>(expected.scanLine(y));
                for (int x = box.left(); x <= box.right(); ++x) {
                    if (from[x] != background)
                        to[x] = from[x];
                }
            }
        }
        const QRect decodedBox = InkBox(decoded, background);
        EXPECT_TRUE(Near(decodedBox, expectedBox, 1))
            << "ffmpeg " << Text(decodedBox) << ", ours " << Text(expectedBox);
        // Each line's own box: the band between two lines is background in
        // both frames and would water a mean down. The palette is chosen from
        // colours flattened without their alpha and mapped with error
        // diffusion, so anti-aliased edges come back in other colours and
        // dithered; solid fills and outlines come back as drawn. The place
        // is exact when no other shift of ours matches ffmpeg's frame better.
        for (std::size_t b = 0; b < lineBoxes.size(); ++b) {
            const QRect& box = lineBoxes[b];
            const double mean = MeanDifference(decoded, expected, box, QPoint(0, 0));
            QPoint best(0, 0);
            double bestMean = mean;
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx) {
                    const double m = MeanDifference(decoded, expected, box, QPoint(dx, dy));
                    if (m < bestMean) {
                        bestMean = m;
                        best = QPoint(dx, dy);
                    }
                }
            const auto [solidWorst, solidCount] =
                SolidDifference(decoded, expected, box, background);
            RecordProperty("frame" + std::to_string(shown.State.Middle()) + "_line" +
                               std::to_string(b),
                           "mean " + std::to_string(mean) + " solid " + std::to_string(solidWorst) +
                               " of " + std::to_string(solidCount));
            EXPECT_EQ(std::make_pair(best.x(), best.y()), std::make_pair(0, 0))
                << "line box " << Text(box);
            EXPECT_LT(mean, MeanTolerance) << "line box " << Text(box);
            EXPECT_GE(solidCount, 30) << "line box " << Text(box);
            EXPECT_LE(solidWorst, SolidTolerance) << "line box " << Text(box);
        }
    }
}

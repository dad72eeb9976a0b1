// A second, independent PGS decoder: GStreamer's dvdspu reads our stream
// from a Matroska file, muxed by mkvmerge beside a video track, and must
// show the same lines at the same places as FFmpeg does from the same file.
// The two decoders share no code, so a stream that only one of them draws
// right has a fault the other forgives. dvdspu forgets every object at each
// display set and takes a palette segment as a whole new palette, so each
// set must carry all that it shows.

#include "cli/Commands.h"
#include "pgs/StreamReader.h"
#include "pgs/Timing.h"

#include "support/InkCompare.h"
#include "support/PeerDecoders.h"
#include "support/RecordedMessages.h"
#include "support/RunTandeo.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

namespace {

constexpr int Width = 1920;
constexpr int Height = 1080;
constexpr double Rate = 24000.0 / 1001.0;
constexpr double TicksPerFrame = 90000.0 / Rate;
// The video's frame rate: dvdspu fills any gap in a video track with copies
// at the track's rate, and each frame it draws costs a PNG, so the video
// is slow and steady. Frame n is at n / VideoRate s.
constexpr int VideoRate = 4;
// The most frames we compare besides one of each kind; the rest are
// skipped evenly.
constexpr std::size_t MostFrames = 12;
// How far the two decoders' ink boxes may lie apart: dvdspu draws on video
// with chroma at half resolution, which smears a coloured edge by a pixel
// (measured 0 and 1).
constexpr int BoxSlack = 2;
// How far the corner of a frame may be from the video's colour after the
// video's own coding and each decoder's conversion back to RGB.
constexpr int BackgroundTolerance = 12;
// The mean difference per channel over a line's box between the two
// decoders' frames (measured 8.9 to 12.2): FFmpeg
// converts the palette to RGB with BT.709, dvdspu blends the palette's
// YCbCr into the video, which goes back to RGB as full-range BT.601 JPEG.
constexpr double MeanTolerance = 20.0;
const QRgb VideoColour = qRgb(0x00, 0x80, 0x80);

const char* const SideNames[] = {"top", "bottom"};

struct SLine {
    int Side;
    int Start;  // ms
    int End;
    const char* Text;
};

// Each state lasts half a second or more, and the kinds follow each other:
// the top line alone, both, a new top line beside the same bottom one,
// nothing, the bottom line alone, and two rows on each side.
const SLine Lines[] = {
    {0, 1000, 4000, "风从北边来。"},
    {0, 4000, 6000, "我们到了。"},
    {0, 8000, 9500, "你听见了吗？"},
    {0, 11000, 13000, "潮水六点涨。\n我们天亮前走。"},
    {1, 2000, 5000, "The wind is from the north."},
    {1, 7000, 9000, "<i>Do you hear that?</i>"},
    {1, 9500, 10500, "It's a boat."},
    {1, 11000, 13000, "We leave before the light goes,\nor we do not leave at all."},
};

QString TimeText(int ms)
{
    return QString("00:00:%1,%2")
        .arg(ms / 1000, 2, 10, QChar('0'))
        .arg(ms % 1000, 3, 10, QChar('0'));
}

bool WriteScript(const QString& path, int side)
{
    QByteArray text;
    int number = 0;
    for (const SLine& line : Lines) {
        if (line.Side == side)
            text += QString("%1\n%2 --> %3\n%4\n\n")
                        .arg(++number)
                        .arg(TimeText(line.Start), TimeText(line.End), QString::fromUtf8(line.Text))
                        .toUtf8();
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

// True when a line of `side` shows at frame `frame` of the video, with the
// frame rounding of the stream.
bool Showing(int side, int frame)
{
    const int streamFrame = int(std::lround(frame * Rate / VideoRate));
    return std::any_of(std::begin(Lines), std::end(Lines), [&](const SLine& line) {
        return line.Side == side &&
               int(MsToFrame(std::uint32_t(line.Start), 23.976)) <= streamFrame &&
               streamFrame < int(MsToFrame(std::uint32_t(line.End), 23.976));
    });
}

}  // namespace

TEST(SecondDecoderTest, GstreamerShowsWhatFfmpegShowsFromTheSameMatroskaFile)
{
    for (const char* program : {"ffmpeg", "mkvmerge", "gst-launch-1.0"}) {
        if (!HaveProgram(program))
            GTEST_SKIP() << program << " is not installed (scripts/deps installs it)";
    }
    if (!HaveGstreamerElements({"matroskademux", "jpegdec", "videoconvert", "dvdspu"}))
        GTEST_SKIP() << "GStreamer lacks matroskademux, jpegdec, videoconvert or dvdspu "
                        "(scripts/deps installs them)";

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    CRecordedMessages messages;
    const QString settings = dir.filePath("empty.ini");
    {
        QFile file(settings);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString scripts[] = {dir.filePath("top.srt"), dir.filePath("bottom.srt")};
    ASSERT_TRUE(WriteScript(scripts[0], 0));
    ASSERT_TRUE(WriteScript(scripts[1], 1));
    const QString sup = dir.filePath("lines.sup");
    std::string errors;
    ASSERT_EQ(
        RunTandeo({"build", "--top", scripts[0], "--bottom", scripts[1], "-o", sup, "--video-size",
                   "1920x1080", "--fps", "23.976", "--settings", settings, "--quiet"},
                  &errors),
        0)
        << errors;

    // Frames well inside a display state, clear of both its ends by two of
    // the stream's frames.
    SStreamContent content = ReadStreamFile(sup);
    ASSERT_TRUE(content.Ok()) << content.Error;
    const CEpochData sets = TakeDisplaySets(content);
    ASSERT_GE(sets.size(), 2u);
    const double margin = 2 * TicksPerFrame;
    std::vector<int> candidates;
    for (int frame = 0; frame * 90000.0 / VideoRate < sets.back().Pcs.PTS; ++frame) {
        const double ticks = frame * 90000.0 / VideoRate;
        for (std::size_t i = 0; i + 1 < sets.size(); ++i) {
            if (sets[i].Pcs.PTS + margin <= ticks && ticks + margin <= sets[i + 1].Pcs.PTS)
                candidates.push_back(frame);
        }
    }
    ASSERT_GE(candidates.size(), 4u);

    // The first frame of each kind (nothing, the top line alone, the bottom
    // alone, both) and of each change of line: a decoder that keeps an
    // object past its set shows it where nothing should show. Then frames
    // spread over the whole stream.
    std::vector<int> frames;
    const auto kind = [](int frame) {
        return (Showing(0, frame) ? 1 : 0) + (Showing(1, frame) ? 2 : 0);
    };
    for (int k = 0; k < 4; ++k) {
        const auto it = std::find_if(candidates.begin(), candidates.end(),
                                     [&](int frame) { return kind(frame) == k; });
        ASSERT_NE(it, candidates.end()) << "no frame of kind " << k;
        frames.push_back(*it);
    }
    for (const SLine& line : Lines) {
        const auto it = std::find_if(candidates.begin(), candidates.end(), [&](int frame) {
            return frame * 1000 / VideoRate > line.Start;
        });
        if (it != candidates.end())
            frames.push_back(*it);
    }
    for (std::size_t i = 0; i < MostFrames; ++i)
        frames.push_back(candidates[i * candidates.size() / MostFrames]);
    frames.push_back(candidates.back());
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());

    // Motion JPEG: every frame a key frame, decoded by GStreamer's jpegdec
    // and by FFmpeg alike.
    const QString video = dir.filePath("video.mkv");
    const SProgramRun made =
        RunProgram("ffmpeg", {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                              QString("color=c=0x008080:s=%1x%2:r=%3:d=%4")
                                  .arg(Width)
                                  .arg(Height)
                                  .arg(VideoRate)
                                  .arg(double(frames.back() + 1) / VideoRate, 0, 'f', 3),
                              "-c:v", "mjpeg", "-q:v", "2", video});
    ASSERT_TRUE(made.Ok()) << made.Errors.toStdString();
    const QString muxed = dir.filePath("muxed.mkv");
    const SProgramRun mux = RunProgram("mkvmerge", {"-q", "-o", muxed, video, sup});
    // mkvmerge exits with 1 after warnings; the file is written all the same.
    ASSERT_TRUE(mux.Finished && (mux.ExitCode == 0 || mux.ExitCode == 1))
        << mux.Output.toStdString() << mux.Errors.toStdString();

    const SDecodedFrames byFfmpeg =
        FfmpegMatroska(muxed, QSize(Width, Height), frames, dir.filePath("ffmpeg.raw"));
    ASSERT_TRUE(byFfmpeg.Ok()) << byFfmpeg.Problem;
    std::vector<qint64> frameTimes;
    for (int frame : frames)
        frameTimes.push_back(qint64(frame) * 1000000000 / VideoRate);
    const SDecodedFrames byGstreamer =
        GstreamerMatroska(muxed, "jpegdec", dir.filePath("gstreamer"), frameTimes);
    ASSERT_TRUE(byGstreamer.Ok()) << byGstreamer.Problem << "\n"
                                  << byGstreamer.Run.Errors.toStdString();
    ASSERT_EQ(byFfmpeg.Frames.size(), frames.size());
    ASSERT_EQ(byGstreamer.Frames.size(), frames.size());

    // The top lines sit in the upper half of the frame, the bottom lines in
    // the lower half.
    const QRect halves[] = {QRect(0, 0, Width, Height / 2),
                            QRect(0, Height / 2, Width, Height - Height / 2)};
    for (std::size_t f = 0; f < frames.size(); ++f) {
        SCOPED_TRACE("frame " + std::to_string(frames[f]));
        const QImage& ffmpeg = byFfmpeg.Frames[f];
        const QImage& gstreamer = byGstreamer.Frames[f];
        const QRgb ffmpegBackground = ffmpeg.pixel(0, 0);
        const QRgb gstreamerBackground = gstreamer.pixel(0, 0);
        ASSERT_FALSE(Differs(ffmpegBackground, VideoColour, BackgroundTolerance))
            << std::hex << ffmpegBackground;
        ASSERT_FALSE(Differs(gstreamerBackground, VideoColour, BackgroundTolerance))
            << std::hex << gstreamerBackground;
        for (int side = 0; side < 2; ++side) {
            const QRect byF = InkBox(ffmpeg, ffmpegBackground, halves[side]);
            const QRect byG = InkBox(gstreamer, gstreamerBackground, halves[side]);
            const bool shown = Showing(side, frames[f]);
            EXPECT_EQ(!byF.isNull(), shown) << SideNames[side] << ": ffmpeg " << BoxText(byF);
            EXPECT_EQ(!byG.isNull(), shown) << SideNames[side] << ": dvdspu " << BoxText(byG);
            EXPECT_TRUE(Near(byG, byF, BoxSlack))
                << SideNames[side] << ": dvdspu " << BoxText(byG) << ", ffmpeg " << BoxText(byF);
            if (byF.isNull() || byG.isNull())
                continue;
            const int apart = std::max(
                {std::abs(byG.left() - byF.left()), std::abs(byG.top() - byF.top()),
                 std::abs(byG.right() - byF.right()), std::abs(byG.bottom() - byF.bottom())});
            const double mean = MeanDifference(gstreamer, ffmpeg, byF, QPoint(0, 0));
            RecordProperty("frame" + std::to_string(frames[f]) + "_" + SideNames[side],
                           "apart " + std::to_string(apart) + " mean " + std::to_string(mean));
            EXPECT_LT(mean, MeanTolerance) << SideNames[side] << " box " << BoxText(byF);
        }
    }
}

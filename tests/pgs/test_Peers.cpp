// Real peers read what we write: FFmpeg's PGS decoder draws our stream over
// a video, and mkvmerge takes it as a subtitle track.

#include "SampleEpoch.h"
#include "pgs/ObjectCoding.h"
#include "pgs/PaletteEntries.h"
#include "pgs/StreamWriter.h"
#include "pgs/Timing.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>

namespace {

constexpr int ObjectX = 600;
constexpr int ObjectY = 800;
constexpr int ObjectWidth = 200;
constexpr int ObjectHeight = 60;
constexpr int Border = 4;
constexpr int Fps = 25;
constexpr int ShowFrame = 25;  // 1 s
constexpr int HideFrame = 75;  // 3 s
constexpr int Frames = 100;
// The part of the frame that ffmpeg hands back to us.
constexpr int CropX = 580;
constexpr int CropY = 780;
constexpr int CropWidth = 240;
constexpr int CropHeight = 100;

struct SRun {
    int ExitCode = -1;
    QByteArray Output;
    QByteArray Errors;
};

SRun RunProgram(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    SRun run;
    if (!process.waitForStarted(10000))
        return run;
    process.closeWriteChannel();
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.Output = process.readAllStandardOutput();
    run.Errors = process.readAllStandardError();
    return run;
}

// One object with bands of red, green and white inside a transparent
// border, shown from 1 s to 3 s on a 1920 x 1080 frame at 25 fps, then
// cleared.
bool WriteShowAndClear(const QString& path, EColourMatrix matrix)
{
    const std::uint8_t code = 3;
    const std::vector<SWindow> windows{{0, ObjectX, ObjectY, ObjectWidth, ObjectHeight}};
    const SSampleObject object{0,       0,       0,
                               ObjectX, ObjectY, BandsPicture(ObjectWidth, ObjectHeight, Border)};
    CEpochData epoch;
    epoch.push_back(MakeDisplaySet(EpochStart, 0, code, windows, {object}, nullptr,
                                   FrameToTicks(ShowFrame, Fps)));
    CDsData& show = epoch.back();
    show.Palettes.emplace_back();
    FillPds(show.Palettes.back(), SamplePalette(), matrix);
    const std::uint32_t p = FrameToTicks(ShowFrame, Fps);
    SetDisplaySetTimes(show, p, DecodeStart(p, DecodeDuration(show)));

    const std::uint32_t q = FrameToTicks(HideFrame, Fps);
    epoch.push_back(MakeDisplaySet(NormalCase, 1, code, windows, {}, nullptr, q));

    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           WriteEpoch(epoch, file, nullptr) == EWriteResult::Written;
}

using SPixel = std::array<int, 3>;

struct SFrames {
    QByteArray Raw;
    SPixel At(int frame, int x, int y) const
    {
        const qsizetype at = (static_cast<qsizetype>(frame) * CropWidth * CropHeight +
                              (y - CropY) * CropWidth + (x - CropX)) *
                             3;
        return {static_cast<unsigned char>(Raw[at]), static_cast<unsigned char>(Raw[at + 1]),
                static_cast<unsigned char>(Raw[at + 2])};
    }
};

SFrames DecodeWithFfmpeg(const QString& sup, const QString& raw)
{
    const QString filter = QString("[0:v][1:s]overlay=eof_action=pass,crop=%1:%2:%3:%4")
                               .arg(CropWidth)
                               .arg(CropHeight)
                               .arg(CropX)
                               .arg(CropY);
    const SRun run = RunProgram(
        "ffmpeg", {"-nostdin", "-v",        "error",
                   "-y",       "-copyts",   "-f",
                   "lavfi",    "-i",        QString("color=c=black:s=1920x1080:r=%1").arg(Fps),
                   "-i",       sup,         "-filter_complex",
                   filter,     "-frames:v", QString::number(Frames),
                   "-f",       "rawvideo",  "-pix_fmt",
                   "rgb24",    raw});
    EXPECT_EQ(run.ExitCode, 0) << run.Errors.toStdString();
    QFile file(raw);
    SFrames frames;
    if (file.open(QIODevice::ReadOnly))
        frames.Raw = file.readAll();
    return frames;
}

bool Near(const SPixel& pixel, const SPixel& expected, int tolerance)
{
    for (int i = 0; i < 3; ++i) {
        if (std::abs(pixel[i] - expected[i]) > tolerance)
            return false;
    }
    return true;
}

std::string Text(const SPixel& p)
{
    return "(" + std::to_string(p[0]) + ", " + std::to_string(p[1]) + ", " + std::to_string(p[2]) +
           ")";
}

// Checks the picture during the shown interval, within one frame at each
// end, and nothing outside it. `tolerance` allows for the matrix ffmpeg
// converts HD palettes with.
void ExpectShownOnlyBetween(const SFrames& frames, int tolerance)
{
    ASSERT_EQ(frames.Raw.size(), qsizetype(Frames) * CropWidth * CropHeight * 3);
    const int bandX = ObjectX + ObjectWidth / 2;
    const struct {
        int Y;
        SPixel Colour;
    } bands[] = {
        {ObjectY + 10, {255, 0, 0}},
        {ObjectY + 30, {0, 255, 0}},
        {ObjectY + 50, {255, 255, 255}},
    };
    const SPixel black{0, 0, 0};
    for (int frame = 0; frame < Frames; ++frame) {
        const bool certainlyShown = frame > ShowFrame && frame < HideFrame - 1;
        const bool certainlyHidden = frame < ShowFrame - 1 || frame > HideFrame;
        for (const auto& band : bands) {
            const SPixel pixel = frames.At(frame, bandX, band.Y);
            if (certainlyShown) {
                EXPECT_TRUE(Near(pixel, band.Colour, tolerance))
                    << "frame " << frame << " y " << band.Y << ": " << Text(pixel);
            }
            if (certainlyHidden) {
                EXPECT_TRUE(Near(pixel, black, 16)) << "frame " << frame << ": " << Text(pixel);
            }
        }
        // The transparent border and the frame around the object stay black.
        for (const auto& [x, y] :
             {std::pair{ObjectX + 1, ObjectY + 30},
              std::pair{ObjectX + ObjectWidth / 2, ObjectY + 1},
              std::pair{ObjectX - 5, ObjectY + 30},
              std::pair{ObjectX + ObjectWidth + 5, ObjectY + 30},
              std::pair{ObjectX + ObjectWidth / 2, ObjectY + ObjectHeight + 5}}) {
            const SPixel pixel = frames.At(frame, x, y);
            EXPECT_TRUE(Near(pixel, black, 16))
                << "frame " << frame << " at " << x << "," << y << ": " << Text(pixel);
        }
    }
}

}  // namespace

TEST(Peers, FfmpegShowsThePictureDuringItsInterval)
{
    // ffmpeg converts HD palettes with BT.709: palettes written in BT.709
    // come back almost exactly, BT.601 ones drift (red comes back near
    // (254, 23, 0), green near (0, 213, 0)).
    const struct {
        EColourMatrix Matrix;
        int Tolerance;
    } cases[] = {{EColourMatrix::Bt709, 8}, {EColourMatrix::Bt601, 48}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Matrix == EColourMatrix::Bt709 ? "BT.709" : "BT.601");
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString sup = dir.filePath("stream.sup");
        ASSERT_TRUE(WriteShowAndClear(sup, c.Matrix));
        ExpectShownOnlyBetween(DecodeWithFfmpeg(sup, dir.filePath("frames.raw")), c.Tolerance);
    }
}

TEST(Peers, MkvmergeTakesTheStreamAsAPgsTrack)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString sup = dir.filePath("stream.sup");
    CEpochData epoch = MakeSampleEpoch();
    {
        QFile file(sup);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(WriteEpoch(epoch, file, nullptr), EWriteResult::Written);
    }
    const QString mkv = dir.filePath("out.mkv");
    const SRun mux = RunProgram("mkvmerge", {"-q", "-o", mkv, sup});
    ASSERT_EQ(mux.ExitCode, 0) << mux.Output.toStdString() << mux.Errors.toStdString();

    const SRun identify = RunProgram("mkvmerge", {"-J", mkv});
    ASSERT_EQ(identify.ExitCode, 0) << identify.Errors.toStdString();
    const QJsonArray tracks = QJsonDocument::fromJson(identify.Output).object()["tracks"].toArray();
    ASSERT_EQ(tracks.size(), 1);
    const QJsonObject track = tracks[0].toObject();
    EXPECT_EQ(track["type"].toString(), "subtitles");
    EXPECT_EQ(track["codec"].toString(), "HDMV PGS");
}

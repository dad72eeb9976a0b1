#pragma once
// The peer decoders that read our streams back in tests: FFmpeg's PGS
// decoder and GStreamer's dvdspu, each drawing the subtitles over a video
// and handing back the frames as pictures.

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

struct SProgramRun {
    bool Finished = false;  // started and ended by itself, in time
    int ExitCode = -1;
    QByteArray Output;
    QByteArray Errors;
    bool Ok() const { return Finished && ExitCode == 0; }
};

// Runs a program to its end with nothing on its standard input; a program
// still running after `timeoutMs` is killed and reported unfinished.
SProgramRun RunProgram(const QString& program, const QStringList& args, int timeoutMs = 300000);

// True when `program` is on the PATH.
bool HaveProgram(const QString& program);

// True when gst-inspect-1.0 knows every one of the GStreamer elements.
bool HaveGstreamerElements(const QStringList& elements);

struct SDecodedFrames {
    SProgramRun Run;
    std::string Problem;  // empty when the frames came back whole
    std::vector<QImage> Frames;
    bool Ok() const { return Problem.empty(); }
};

// ffmpeg draws `sup` over a solid `background` video of `size` at `rate`
// (a rational such as "24000/1001", worth `framesPerSecond`) and hands back
// the frames numbered `frames` (ascending) as whole Format_RGB32 frames. When
// `area` is given only that part comes back from ffmpeg and the rest of the
// frame holds the background. `raw` is a scratch file; `logLevel` is
// ffmpeg's -v, whose messages land in Run.Errors.
SDecodedFrames FfmpegOverColour(const QString& sup, QSize size, const QString& rate,
                                double framesPerSecond, QRgb background,
                                const std::vector<int>& frames, const QString& raw,
                                const QRect& area = QRect(), const QString& logLevel = "error");

// ffmpeg reads the first video and subtitle tracks of a Matroska file,
// draws the subtitles over the video and hands back the video frames
// numbered `frames` (ascending).
SDecodedFrames FfmpegMatroska(const QString& mkv, QSize size, const std::vector<int>& frames,
                              const QString& raw, const QString& logLevel = "warning");

// The GStreamer pipeline of the same: matroskademux, the video's decoder
// (`videoDecoder`, such as "jpegdec"), dvdspu with the subtitle track on its
// subpicture pad, each frame written as a PNG into `folder`. Hands back the
// first frame at each of `times` (ns of the file's clock, within a
// millisecond, which is all Matroska keeps).
SDecodedFrames GstreamerMatroska(const QString& mkv, const QString& videoDecoder,
                                 const QString& folder, const std::vector<qint64>& times);

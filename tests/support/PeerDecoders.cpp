#include "PeerDecoders.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <cstdlib>

namespace {

// Splits rgb24 frames of `area`'s size into whole frames of `size`, with
// the background outside `area`.
void TakeFrames(SDecodedFrames& decoded, const QString& raw, QSize size, const QRect& area,
                QRgb background, qsizetype expectedCount)
{
    QFile file(raw);
    if (!file.open(QIODevice::ReadOnly)) {
        decoded.Problem = "no frames were written to " + raw.toStdString();
        return;
    }
    const QByteArray bytes = file.readAll();
    const qsizetype frameBytes = qsizetype(area.width()) * area.height() * 3;
    if (frameBytes == 0 || bytes.size() % frameBytes != 0 ||
        (expectedCount >= 0 && bytes.size() != frameBytes * expectedCount)) {
        decoded.Problem =
            std::to_string(bytes.size()) + " bytes of frames of " + std::to_string(frameBytes) +
            " bytes" +
            (expectedCount >= 0 ? ", " + std::to_string(expectedCount) + " wanted" : std::string());
        return;
    }
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.constData());
    for (qsizetype f = 0; f < bytes.size() / frameBytes; ++f) {
        QImage frame(size, QImage::Format_RGB32);
        frame.fill(background);
        for (int y = 0; y < area.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(frame.scanLine(area.y() + y));
            for (int x = 0; x < area.width(); ++x, in += 3)
                row[area.x() + x] = qRgb(in[0], in[1], in[2]);
        }
        decoded.Frames.push_back(std::move(frame));
    }
}

void CheckRun(SDecodedFrames& decoded, const QString& program)
{
    if (!decoded.Run.Finished)
        decoded.Problem = program.toStdString() + " did not run to its end";
    else if (decoded.Run.ExitCode != 0)
        decoded.Problem = program.toStdString() + " exited with " +
                          std::to_string(decoded.Run.ExitCode) + ": " +
                          decoded.Run.Errors.toStdString();
}

// The select filter's expression that keeps the frames numbered `frames`.
QString Selection(const std::vector<int>& frames)
{
    QStringList select;
    for (int frame : frames)
        select << QString("eq(n\\,%1)").arg(frame);
    return select.join('+');
}

}  // namespace

SProgramRun RunProgram(const QString& program, const QStringList& args, int timeoutMs)
{
    QProcess process;
    process.start(program, args);
    SProgramRun run;
    if (!process.waitForStarted(10000))
        return run;
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.Errors = process.readAllStandardError();
        return run;
    }
    run.Finished = process.exitStatus() == QProcess::NormalExit;
    run.ExitCode = run.Finished ? process.exitCode() : -1;
    run.Output = process.readAllStandardOutput();
    run.Errors = process.readAllStandardError();
    return run;
}

bool HaveProgram(const QString& program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

bool HaveGstreamerElements(const QStringList& elements)
{
    if (!HaveProgram("gst-inspect-1.0"))
        return false;
    for (const QString& element : elements) {
        if (!RunProgram("gst-inspect-1.0", {"--exists", element}, 60000).Ok())
            return false;
    }
    return true;
}

SDecodedFrames FfmpegOverColour(const QString& sup, QSize size, const QString& rate,
                                double framesPerSecond, QRgb background,
                                const std::vector<int>& frames, const QString& raw,
                                const QRect& area, const QString& logLevel)
{
    SDecodedFrames decoded;
    if (frames.empty())
        return decoded;
    const QRect crop = area.isNull() ? QRect(QPoint(0, 0), size) : area;
    const QString colour = QString("color=c=0x%1:s=%2x%3:r=%4:d=%5")
                               .arg(background & 0xffffff, 6, 16, QChar('0'))
                               .arg(size.width())
                               .arg(size.height())
                               .arg(rate)
                               .arg((frames.back() + 2) / framesPerSecond, 0, 'f', 3);
    // -copyts keeps the stream's own clock, so frame n is the picture at
    // n / rate seconds of the stream.
    decoded.Run = RunProgram(
        "ffmpeg",
        {"-nostdin",
         "-v",
         logLevel,
         "-y",
         "-copyts",
         "-f",
         "lavfi",
         "-i",
         colour,
         "-i",
         sup,
         "-filter_complex",
         QString("[0:v][1:s]overlay=eof_action=pass:format=rgb,select='%1',crop=%2:%3:%4:%5")
             .arg(Selection(frames))
             .arg(crop.width())
             .arg(crop.height())
             .arg(crop.x())
             .arg(crop.y()),
         "-fps_mode",
         "passthrough",
         "-f",
         "rawvideo",
         "-pix_fmt",
         "rgb24",
         raw});
    CheckRun(decoded, "ffmpeg");
    if (decoded.Ok())
        TakeFrames(decoded, raw, size, crop, background, qsizetype(frames.size()));
    return decoded;
}

SDecodedFrames FfmpegMatroska(const QString& mkv, QSize size, const std::vector<int>& frames,
                              const QString& raw, const QString& logLevel)
{
    SDecodedFrames decoded;
    if (frames.empty())
        return decoded;
    decoded.Run = RunProgram(
        "ffmpeg", {"-nostdin", "-v", logLevel, "-y", "-copyts", "-i", mkv, "-filter_complex",
                   QString("[0:v:0][0:s:0]overlay=eof_action=pass:format=rgb,select='%1'")
                       .arg(Selection(frames)),
                   "-fps_mode", "passthrough", "-f", "rawvideo", "-pix_fmt", "rgb24", raw});
    CheckRun(decoded, "ffmpeg");
    if (decoded.Ok())
        TakeFrames(decoded, raw, size, QRect(QPoint(0, 0), size), 0, qsizetype(frames.size()));
    return decoded;
}

SDecodedFrames GstreamerMatroska(const QString& mkv, const QString& videoDecoder,
                                 const QString& folder, const std::vector<qint64>& times)
{
    SDecodedFrames decoded;
    if (!QDir().mkpath(folder)) {
        decoded.Problem = "cannot make " + folder.toStdString();
        return decoded;
    }
    // dvdspu draws on I420 video. -m prints the sink's message for every
    // file it writes, with the frame's time stamp. Each word is its own
    // argument, so paths with spaces stay whole.
    const QStringList pipeline{"-m",
                               "filesrc",
                               "location=" + mkv,
                               "!",
                               "matroskademux",
                               "name=d",
                               "d.video_0",
                               "!",
                               "queue",
                               "!",
                               videoDecoder,
                               "!",
                               "videoconvert",
                               "!",
                               "dvdspu",
                               "name=s",
                               "!",
                               "videoconvert",
                               "!",
                               "pngenc",
                               "compression-level=1",
                               "!",
                               "multifilesink",
                               "location=" + QDir(folder).filePath("frame-%05d.png"),
                               "post-messages=true",
                               "d.subtitle_0",
                               "!",
                               "queue",
                               "!",
                               "s.subpicture"};
    decoded.Run = RunProgram("gst-launch-1.0", pipeline);
    CheckRun(decoded, "gst-launch-1.0");
    if (!decoded.Ok())
        return decoded;
    static const QRegularExpression written(
        R"re(GstMultiFileSink, filename=\(string\)"?([^,"]+)"?, index=\(int\)\d+, timestamp=\(guint64\)(\d+))re");
    std::vector<std::pair<qint64, QString>> files;
    for (auto it = written.globalMatch(QString::fromUtf8(decoded.Run.Output)); it.hasNext();) {
        const auto match = it.next();
        files.emplace_back(match.captured(2).toLongLong(), match.captured(1));
    }
    for (qint64 time : times) {
        const auto file = std::find_if(files.begin(), files.end(), [&](const auto& f) {
            return std::abs(f.first - time) <= 1000000;
        });
        if (file == files.end()) {
            decoded.Problem = "dvdspu drew no frame at " + std::to_string(time) + " ns among " +
                              std::to_string(files.size());
            decoded.Frames.clear();
            return decoded;
        }
        decoded.Frames.push_back(QImage(file->second).convertToFormat(QImage::Format_RGB32));
        if (decoded.Frames.back().isNull()) {
            decoded.Problem = "cannot read " + file->second.toStdString();
            return decoded;
        }
    }
    return decoded;
}

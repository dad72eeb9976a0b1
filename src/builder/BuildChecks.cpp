#include "BuildChecks.h"

#include "pgs/MuiIndex.h"
#include "pgs/Timing.h"
#include "pgs/VideoFormats.h"
#include "source/FileNames.h"
#include "source/TimeText.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <unistd.h>

namespace {

bool HasLines(const SBuildPage& page)
{
    return page.source && !page.source->lines.empty();
}

// The rates each frame size may have on an HD Blu-ray disc, as bits of the
// frame-rate table (bit 0 = 23.976 ... bit 5 = 59.94), by video size index.
constexpr unsigned Rate(int index)
{
    return 1u << index;
}
constexpr unsigned HdRates[VideoSizeCount] = {
    Rate(0) | Rate(1) | Rate(2) | Rate(3),  // 1920 x 1080
    Rate(0) | Rate(1) | Rate(2) | Rate(3),  // 1440 x 1080
    Rate(0) | Rate(1) | Rate(4) | Rate(5),  // 1280 x 720
    Rate(3),                                // 720 x 480
    Rate(2),                                // 720 x 576
};
// Full-height frames at 50 and 59.94 exist, but only on UHD discs.
constexpr unsigned UhdOnlyRates[VideoSizeCount] = {Rate(4) | Rate(5), Rate(4) | Rate(5), 0, 0, 0};

// The presentation time of `ms` as the encoder stamps it: the frame at the
// exact rate, that frame's time at the nominal rate, rounded the same way,
// but kept in 64 bits where the stream's own clock would wrap.
std::uint64_t UnwrappedTicks(std::uint32_t ms, double rate)
{
    const double nominal = NominalRateOfCode(FrameRateCodeOf(rate));
    const std::uint32_t frame = MsToFrame(ms, rate);
    return static_cast<std::uint64_t>(frame / nominal * 90 * 1000 + 0.5);
}

}  // namespace

QString FirstSourcePath(const SBuildPages& pages)
{
    for (int i : {1, 0}) {
        if (!pages[static_cast<std::size_t>(i)].sourcePath.isEmpty())
            return pages[static_cast<std::size_t>(i)].sourcePath;
    }
    return {};
}

QString CheckBeforeBuild(const SBuildPages& pages)
{
    int badTimes = 0;
    for (const SBuildPage& page : pages) {
        if (!page.source)
            continue;
        for (const SSubLine& line : page.source->lines)
            badTimes += line.timingOk == 0 ? 1 : 0;
    }
    if (badTimes > 0)
        return QString("%1\n%2 timing error(s) found, please fix first!")
            .arg(FirstSourcePath(pages))
            .arg(badTimes);

    if (pages[0].source && pages[1].source && pages[0].Direction != pages[1].Direction)
        return "The direction of two subtitles confilcts! ";

    bool anyFade = false;
    for (const SBuildPage& page : pages) {
        if (!page.source)
            continue;
        for (const SSubLine& line : page.source->lines)
            anyFade = anyFade || line.fade != 0;
    }
    if (anyFade && HasLines(pages[0]) && HasLines(pages[1]))
        return "Sorry, Double subtitles currently does not support fade effects! ";
    return {};
}

QString CheckVideoFormat(int videoSizeIndex, int frameRateIndex)
{
    // Both throw for an index outside their tables, before any look-up.
    const SVideoSize& size = VideoSizeAt(videoSizeIndex);
    const SFrameRate& frameRate = FrameRateAt(frameRateIndex);
    const unsigned rate = Rate(frameRateIndex);
    if (HdRates[videoSizeIndex] & rate)
        return {};
    const QString pair =
        QString("%1x%2 at %3").arg(size.Width).arg(size.Height).arg(frameRate.Label);
    if (UhdOnlyRates[videoSizeIndex] & rate)
        return pair + " is only allowed on UHD discs";
    return pair + " is not a Blu-ray format";
}

EColourMatrix ColourMatrixFor(EMatrixChoice choice, int videoSizeIndex)
{
    // Looked up first, so that a bad size throws whatever the choice.
    const SVideoSize& size = VideoSizeAt(videoSizeIndex);
    switch (choice) {
    case EMatrixChoice::Bt601: return EColourMatrix::Bt601;
    case EMatrixChoice::Bt709: return EColourMatrix::Bt709;
    case EMatrixChoice::Automatic: break;
    }
    // A red made with the other matrix comes back from such a player
    // visibly off, (254, 23, 0) for BT.601 red shown as BT.709.
    return size.Height > 576 ? EColourMatrix::Bt709 : EColourMatrix::Bt601;
}

QString CheckLineTimes(const SBuildPages& pages, int frameRateIndex, std::int32_t outputFormat)
{
    const double rate = FrameRateAt(frameRateIndex).Rate();
    // The index of a ".pes" stream stores every time plus its offset in the
    // same 32 bits.
    const std::uint64_t lastTick =
        std::numeric_limits<std::uint32_t>::max() - (outputFormat == OutputPes ? MuiTimeOffset : 0);
    for (const SBuildPage& page : pages) {
        if (!page.source)
            continue;
        const std::vector<SSubLine>& lines = page.source->lines;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            // Unsigned, as the stream takes them: a negative start is one
            // past 2^31 ms, and a line starting there cannot end in time.
            const std::uint32_t last = std::max(static_cast<std::uint32_t>(lines[i].start),
                                                static_cast<std::uint32_t>(lines[i].end));
            if (UnwrappedTicks(last, rate) <= lastTick)
                continue;
            const auto limit = static_cast<std::uint32_t>(lastTick * 1000 / TicksPerSecond);
            return QString("%1\r\nLine %2 ends at %3, after %4, the last time a stream can hold. ")
                .arg(page.sourcePath,
                     QString::number(LoadedLineIndex(lines[i], static_cast<int>(i)) + 1),
                     ClockText(last), ClockText(limit));
        }
    }
    return {};
}

QString DefaultOutputPath(const SBuildPages& pages)
{
    const QString path = FirstSourcePath(pages);
    return path.isEmpty() ? QString() : ReplaceExtension(path, ".sup");
}

QString ApplyFilterExtension(const QString& path, const QString& filterExtension)
{
    if (filterExtension.isEmpty() ||
        filterExtension.compare(ExtensionOf(path), Qt::CaseInsensitive) == 0)
        return path;
    return ReplaceExtension(path, filterExtension);
}

QString OutputFormatOf(const QString& path, std::int32_t& format)
{
    const QString extension = ExtensionOf(path);
    const char* const known[] = {".sup", ".xml", ".pes"};
    for (std::int32_t i = 0; i < 3; ++i) {
        if (extension.compare(known[i], Qt::CaseInsensitive) == 0 && i != OutputXml) {
            format = i;
            return {};
        }
    }
    return "Output format is not supported! ";
}

std::int32_t BuildDirection(const SSourceLayouts& layouts)
{
    if (layouts[0].source && !layouts[0].source->lines.empty())
        return layouts[0].Direction;
    return layouts[1].Direction;
}

SSourceLayout MakeSourceLayout(CSubBase* source, const SSourceStyle& style)
{
    SSourceLayout layout;
    layout.source = source;
    layout.Direction = style.Direction;
    layout.Alignment = style.Alignment;
    layout.Location = style.Location;
    layout.Location2 = style.Location2;
    layout.fadeEnable = 1;
    layout.LineSpace = style.LineSpace;
    return layout;
}

QString CheckOutputFile(const QString& path)
{
    const QFileInfo file(path);
    const auto reason = [](int error) { return QString::fromLocal8Bit(std::strerror(error)); };
    if (file.exists() || file.isSymLink()) {
        if (file.isDir())
            return reason(EISDIR);
        if (!file.isFile())
            return QStringLiteral("Not a regular file");
        if (::access(QFile::encodeName(path).constData(), W_OK) != 0)
            return reason(errno);
    }
    const QString folder = file.absolutePath();
    if (!QFileInfo(folder).isDir())
        return reason(ENOENT);
    // access() asks the system itself, so root may write where the
    // permission bits alone would say no.
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        return reason(errno);
    return {};
}

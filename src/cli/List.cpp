#include "Commands.h"
#include "VideoOptions.h"

#include "platform/SettingsStore.h"
#include "source/TextSub.h"
#include "source/TimeText.h"

#include <QRegularExpression>

#include <ostream>

namespace {

const char* const ListUsage =
    "usage: tandeo list [--video-size WxH] [--fps RATE] [--settings FILE] [--page top|bottom]\n"
    "                   [--code-page N] FILE\n"
    "  FILE          a script of any format Tandeo reads, or a video file: its first\n"
    "                text subtitle track, FILE#N stream N\n"
    "  --fps         the rate the times are repaired at: 23.976 (default), 24, 25,\n"
    "                29.97, 50 or 59.94\n"
    "  --code-page   read a script without a byte order mark in this Windows code\n"
    "                page (936, 950, 932, 1251, ...) instead of recognising it\n";

QString Position(std::int32_t value)
{
    return value == 0 ? QStringLiteral("auto") : QString::number(value);
}

struct SListOptions {
    QString path;
    int width = 1920;
    int height = 1080;
    int frameRate = 0;
    int codePage = 0;
    QString settings;
    int page = 1;  // bottom/right
};

// Empty when the options are good, else what is wrong with them.
std::string ParseOptions(const QStringList& args, SListOptions& options)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--video-size" && hasValue) {
            const QRegularExpressionMatch size =
                QRegularExpression("^(\\d{1,5})x(\\d{1,5})$").match(args[++i]);
            if (!size.hasMatch() || size.captured(1).toInt() < 1 || size.captured(2).toInt() < 1)
                return "tandeo list: the video size must be WIDTHxHEIGHT, such as 1920x1080\n";
            options.width = size.captured(1).toInt();
            options.height = size.captured(2).toInt();
        } else if (arg == "--fps" && hasValue) {
            const QString value = args[++i];
            options.frameRate = FrameRateIndexOf(value);
            if (options.frameRate < 0)
                return "tandeo list: unknown frame rate " + value.toStdString() + "\n";
        } else if (arg == "--code-page" && hasValue) {
            const QString value = args[++i];
            options.codePage = CodePageOf(value);
            if (options.codePage < 0)
                return UnknownCodePage("list", value);
        } else if (arg == "--settings" && hasValue) {
            options.settings = args[++i];
        } else if (arg == "--page" && hasValue) {
            const QString page = args[++i];
            if (page != "top" && page != "bottom")
                return "tandeo list: the page is top or bottom\n";
            options.page = page == "top" ? 0 : 1;
        } else if (arg.startsWith("--") || !options.path.isEmpty()) {
            return ListUsage;
        } else {
            options.path = arg;
        }
    }
    return options.path.isEmpty() ? ListUsage : std::string();
}

}  // namespace

int RunList(const QStringList& args, std::ostream& out, std::ostream& err)
{
    if (WantsHelp(args)) {
        out << ListUsage;
        return 0;
    }
    SListOptions options;
    const std::string problem = ParseOptions(args, options);
    if (!problem.empty()) {
        err << problem;
        return 1;
    }
    if (!options.settings.isEmpty())
        SetSettingsFilePath(options.settings);
    SetCodePageOverride(options.codePage);
    SSourceStyle style;
    style.Load(PageSection(options.page));

    const std::unique_ptr<CTextSub> source =
        OpenSubtitleSource(options.path, &style, nullptr, options.frameRate);
    if (!source)
        return 2;
    const int bad = source->CheckTimings();
    source->Engine()->SetEngineFrame(options.width, options.height,
                                     {0, 0, options.width, options.height});
    for (std::size_t i = 0; i < source->lines.size(); ++i) {
        const SSubLine& line = source->lines[i];
        QString contents = line.imageFile;
        if (contents.isEmpty())
            source->GetLineText(line.entryIndex, contents);
        out << QString(" #%1  %2  %3  %4  %5  %6")
                   .arg(i + 1)
                   .arg(TimeText(static_cast<std::uint32_t>(line.start)),
                        TimeText(static_cast<std::uint32_t>(line.end)), Position(line.posX),
                        Position(line.posY), contents)
                   .toStdString();
        if (line.timingOk == 0)
            out << "  <- bad timing";
        out << '\n';
    }
    out << "lines: " << source->lines.size() << ", bad timings: " << bad << '\n';
    return 0;
}

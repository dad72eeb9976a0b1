#include "Commands.h"
#include "SettingsCopy.h"
#include "VideoOptions.h"

#include "source/LineStyle.h"
#include "source/Placement.h"
#include "source/TextSub.h"

#include <QColor>
#include <QImage>
#include <QPainter>

#include <ostream>

namespace {

const char* const RenderUsage =
    "usage: tandeo render FILE LINE -o OUT.png [--side top|bottom] [--video-size WxH]\n"
    "                     [--fps RATE] [--settings FILE] [--set Section/Key=Value ...]\n"
    "                     [--background #RRGGBB|IMAGE] [--line-only] [--code-page N]\n"
    "  LINE is the line's number in the list (1 for the first), with the times\n"
    "  repaired at --fps: 23.976 (default), 24, 25, 29.97, 50 or 59.94.\n"
    "  The frame shows the line at its place over the background (#008080 by\n"
    "  default); --line-only writes the bare line picture. --code-page reads a\n"
    "  script without a byte order mark in that Windows code page.\n";

struct SRenderOptions {
    QString script;
    int line = 0;
    QString output;
    int page = 1;  // bottom/right
    int videoSize = 0;
    int frameRate = 0;
    int codePage = 0;
    QString settings;
    QStringList sets;
    QString background = "#008080";
    bool lineOnly = false;
};

std::string ParseOptions(const QStringList& args, SRenderOptions& options)
{
    QStringList positional;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == "--line-only") {
            options.lineOnly = true;
            continue;
        }
        if (!arg.startsWith("-")) {
            positional << arg;
            continue;
        }
        if (i + 1 >= args.size())
            return RenderUsage;
        const QString value = args[++i];
        if (arg == "-o" || arg == "--output") {
            options.output = value;
        } else if (arg == "--side") {
            if (value != "top" && value != "bottom")
                return "tandeo render: the side is top or bottom\n";
            options.page = value == "top" ? 0 : 1;
        } else if (arg == "--video-size") {
            options.videoSize = VideoSizeIndexOf(value);
            if (options.videoSize < 0)
                return "tandeo render: unknown video size " + value.toStdString() + "\n";
        } else if (arg == "--fps") {
            options.frameRate = FrameRateIndexOf(value);
            if (options.frameRate < 0)
                return "tandeo render: unknown frame rate " + value.toStdString() + "\n";
        } else if (arg == "--code-page") {
            options.codePage = CodePageOf(value);
            if (options.codePage < 0)
                return UnknownCodePage("render", value);
        } else if (arg == "--settings") {
            options.settings = value;
        } else if (arg == "--set") {
            if (!IsSettingOverride(value))
                return "tandeo render: --set takes Section/Key=Value\n";
            options.sets << value;
        } else if (arg == "--background") {
            options.background = value;
        } else {
            return RenderUsage;
        }
    }
    bool number = false;
    if (positional.size() == 2)
        options.line = positional[1].toInt(&number);
    if (!number || options.line < 1 || options.output.isEmpty())
        return RenderUsage;
    options.script = positional[0];
    return {};
}

// The frame's background: a colour, or a picture scaled to the frame.
bool PaintBackground(QImage& frame, const QString& background, std::ostream& err)
{
    if (QColor::isValidColorName(background) && background.startsWith('#')) {
        frame.fill(QColor(background));
        return true;
    }
    const QImage picture(background);
    if (picture.isNull()) {
        err << "tandeo render: " << background.toStdString()
            << ": neither a #RRGGBB colour nor a picture\n";
        return false;
    }
    QPainter painter(&frame);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(frame.rect(), picture);
    return true;
}

}  // namespace

int RunRender(const QStringList& args, std::ostream& out, std::ostream& err)
{
    if (WantsHelp(args)) {
        out << RenderUsage;
        return 0;
    }
    SRenderOptions options;
    const std::string problem = ParseOptions(args, options);
    if (!problem.empty()) {
        err << problem;
        return 1;
    }
    CSettingsCopy settings;
    if (!settings.Prepare(options.settings, options.sets, err, "render"))
        return 2;
    SetCodePageOverride(options.codePage);
    SSourceStyle style;
    style.Load(PageSection(options.page));
    const std::unique_ptr<CTextSub> source =
        OpenSubtitleSource(options.script, &style, nullptr, options.frameRate);
    if (!source)
        return 2;
    if (static_cast<std::size_t>(options.line) > source->lines.size()) {
        err << "tandeo render: " << options.script.toStdString() << " has " << source->lines.size()
            << " lines\n";
        return 2;
    }

    const int index = options.line - 1;
    SLineRequest request;
    request.videoSizeIndex = options.videoSize;
    request.frameRateIndex = options.frameRate;
    request.squeeze = true;
    request.lineSpace = style.LineSpace;
    request.fadeEnable = 1;
    if (!source->GetLineImage(index, request))
        return 2;

    if (options.lineOnly) {
        if (request.image.isNull()) {
            err << "tandeo render: line " << options.line << " shows nothing\n";
            return 2;
        }
        if (!request.image.save(options.output, "PNG")) {
            err << "tandeo render: cannot write " << options.output.toStdString() << "\n";
            return 2;
        }
        return 0;
    }

    const SVideoSize& size = VideoSizeAt(options.videoSize);
    QImage frame(size.Width, size.Height, QImage::Format_ARGB32_Premultiplied);
    if (!PaintBackground(frame, options.background, err))
        return 2;
    if (!request.image.isNull()) {
        const SSubLine& line = source->lines[static_cast<std::size_t>(index)];
        const bool oneRow = line.imageFile.isEmpty() && source->GetRowCount(line.entryIndex) == 1;
        const QPoint corner =
            PlaceLineImage(request.image.size(), request, oneRow ? style.Location2 : style.Location,
                           options.page == 0, style.Direction, style.Alignment);
        QPainter painter(&frame);
        painter.drawImage(corner, request.image);
    }
    if (!frame.convertToFormat(QImage::Format_ARGB32).save(options.output, "PNG")) {
        err << "tandeo render: cannot write " << options.output.toStdString() << "\n";
        return 2;
    }
    return 0;
}

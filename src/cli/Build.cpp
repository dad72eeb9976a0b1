#include "Commands.h"
#include "SettingsCopy.h"
#include "VideoOptions.h"

#include "builder/BuildChecks.h"
#include "builder/Overlaps.h"
#include "builder/SubBuilder.h"
#include "platform/UserMessages.h"
#include "source/LineStyle.h"
#include "source/TextSub.h"

#include <QFileInfo>

#include <atomic>
#include <csignal>
#include <optional>
#include <ostream>
#include <unistd.h>

namespace {

const char* const BuildUsage =
    "usage: tandeo build [--top FILE] [--bottom FILE] -o OUT [--video-size WxH] [--fps RATE]\n"
    "                    [--settings FILE] [--set Section/Key=Value ...] [--matrix auto|601|709]\n"
    "                    [--code-page N] [--overlaps refuse|trim|join] [--force] [--strict]\n"
    "                    [--quiet]\n"
    "  OUT ending in .sup writes a SUP stream, .pes a PES stream with OUT.mui.\n"
    "  FILE is a script of any format Tandeo reads, or a video file: its first text\n"
    "  subtitle track, or FILE#N for stream N.\n"
    "  --video-size  1920x1080 (default), 1440x1080, 1280x720, 720x480 or 720x576\n"
    "  --fps         23.976 (default), 24, 25, 29.97, 50 or 59.94\n"
    "  --settings    take the styles (sections Top and Bottom) from this INI file\n"
    "  --set         override one stored key, e.g. --set Bottom/FontSize=48\n"
    "  --matrix      palette colours: auto (BT.709 for HD frames, BT.601 for SD; the default),"
    " 601 or 709\n"
    "  --code-page   read scripts without a byte order mark in this Windows code\n"
    "                page (936, 950, 932, 1251, ...) instead of recognising it\n"
    "  --overlaps    lines of one script that overlap: refuse to build (the default), trim\n"
    "                the earlier line where the next starts (lines that would last less\n"
    "                than 250 ms are joined instead), or join them into one picture\n"
    "                while both are shown\n"
    "  --force       replace an existing OUT\n"
    "  --strict      refuse a frame size and rate that no HD Blu-ray disc allows\n";

struct SBuildOptions {
    QString top;
    QString bottom;
    QString output;
    int videoSize = 0;
    int frameRate = 0;
    int codePage = 0;
    QString settings;
    QStringList sets;
    EMatrixChoice matrix = EMatrixChoice::Automatic;
    std::optional<EOverlapMode> overlaps;  // none: as the settings say
    bool force = false;
    bool strict = false;
    bool quiet = false;
};

// Empty when the options are good, else what to tell the user.
std::string ParseOptions(const QStringList& args, SBuildOptions& options)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == "--force") {
            options.force = true;
            continue;
        }
        if (arg == "--strict") {
            options.strict = true;
            continue;
        }
        if (arg == "--quiet") {
            options.quiet = true;
            continue;
        }
        if (i + 1 >= args.size())
            return BuildUsage;
        const QString value = args[++i];
        if (arg == "--top") {
            options.top = value;
        } else if (arg == "--bottom") {
            options.bottom = value;
        } else if (arg == "-o" || arg == "--output") {
            options.output = value;
        } else if (arg == "--video-size") {
            options.videoSize = VideoSizeIndexOf(value);
            if (options.videoSize < 0)
                return "tandeo build: unknown video size " + value.toStdString() + "\n";
        } else if (arg == "--fps") {
            options.frameRate = FrameRateIndexOf(value);
            if (options.frameRate < 0)
                return "tandeo build: unknown frame rate " + value.toStdString() + "\n";
        } else if (arg == "--code-page") {
            options.codePage = CodePageOf(value);
            if (options.codePage < 0)
                return UnknownCodePage("build", value);
        } else if (arg == "--settings") {
            options.settings = value;
        } else if (arg == "--set") {
            if (!IsSettingOverride(value))
                return "tandeo build: --set takes Section/Key=Value\n";
            options.sets << value;
        } else if (arg == "--matrix") {
            const std::optional<EMatrixChoice> matrix = MatrixChoiceOf(value);
            if (!matrix)
                return "tandeo build: the matrix is auto, 601 or 709\n";
            options.matrix = *matrix;
        } else if (arg == "--overlaps") {
            options.overlaps = OverlapModeOf(value);
            if (!options.overlaps)
                return "tandeo build: --overlaps takes refuse, trim or join\n";
        } else {
            return BuildUsage;
        }
    }
    if (options.output.isEmpty() || (options.top.isEmpty() && options.bottom.isEmpty()))
        return BuildUsage;
    return {};
}

std::atomic<bool> Interrupted{false};

void OnInterrupt(int)
{
    Interrupted = true;
}

struct SProgressView {
    std::ostream* err = nullptr;
    bool terminal = false;
    bool quiet = false;
    int lastShown = -1;
};

std::int32_t ShowProgress(void* context, const SBuildProgress& progress)
{
    auto& view = *static_cast<SProgressView*>(context);
    if (Interrupted)
        return 0;
    if (view.quiet || progress.phase != 0)
        return 1;
    if (view.terminal) {
        const int filled = progress.percent / 5;
        *view.err << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
                  << std::string(static_cast<std::size_t>(20 - filled), ' ') << "] "
                  << progress.percent << "%" << std::flush;
    } else if (progress.percent / 10 != view.lastShown / 10) {
        *view.err << "building: " << progress.percent << "%\n";
    }
    view.lastShown = progress.percent;
    return 1;
}

}  // namespace

int RunBuild(const QStringList& args, std::ostream& out, std::ostream& err)
{
    if (WantsHelp(args)) {
        out << BuildUsage;
        return 0;
    }
    SBuildOptions options;
    const std::string problem = ParseOptions(args, options);
    if (!problem.empty()) {
        err << problem;
        return 1;
    }
    // The copy stays in force for the whole build: text is decoded with its
    // "Default Code Page" too.
    CSettingsCopy settings;
    if (!settings.Prepare(options.settings, options.sets, err, "build"))
        return 2;
    SetCodePageOverride(options.codePage);

    // Index 0 is the top/left page, 1 the bottom/right page.
    std::array<SSourceStyle, 2> styles;
    std::array<std::unique_ptr<CTextSub>, 2> sources;
    const QString paths[2] = {options.top, options.bottom};
    SBuildPages pages;
    for (int i = 0; i < 2; ++i) {
        styles[static_cast<std::size_t>(i)].Load(PageSection(i));
        if (paths[i].isEmpty())
            continue;
        sources[static_cast<std::size_t>(i)] = OpenSubtitleSource(
            paths[i], &styles[static_cast<std::size_t>(i)], nullptr, options.frameRate);
        if (!sources[static_cast<std::size_t>(i)])
            return 2;
        sources[static_cast<std::size_t>(i)]->CheckTimings();
        pages[static_cast<std::size_t>(i)] = {sources[static_cast<std::size_t>(i)].get(), paths[i],
                                              styles[static_cast<std::size_t>(i)].Direction};
    }
    const EOverlapMode overlaps = options.overlaps.value_or(StoredOverlapMode());
    std::array<std::unique_ptr<COverlapRepair>, 2> repairs;
    for (int i : {1, 0}) {
        const auto n = static_cast<std::size_t>(i);
        if (!sources[n])
            continue;
        repairs[n] = std::make_unique<COverlapRepair>(sources[n].get(), overlaps);
        ReportOverlapRepair(paths[i], *repairs[n]);
    }
    auto refuse = [](const QString& message) {
        UserMessages().Show(message, EMessageKind::Error);
        return 2;
    };
    const QString checked = CheckBeforeBuild(pages);
    if (!checked.isEmpty())
        return refuse(checked);
    // A stream for a frame no disc has is still a stream; scripts that must
    // not make one ask for --strict.
    const QString notOnDisc = CheckVideoFormat(options.videoSize, options.frameRate);
    if (!notOnDisc.isEmpty()) {
        if (options.strict)
            return refuse(notOnDisc);
        UserMessages().Show(notOnDisc, EMessageKind::Warning);
    }
    std::int32_t format = OutputSup;
    const QString unsupported = OutputFormatOf(options.output, format);
    if (!unsupported.isEmpty())
        return refuse(unsupported);
    const QString tooLate = CheckLineTimes(pages, options.frameRate, format);
    if (!tooLate.isEmpty())
        return refuse(tooLate);
    if (QFileInfo::exists(options.output) && !options.force) {
        err << "tandeo build: " << options.output.toStdString()
            << " exists; add --force to replace it\n";
        return 2;
    }

    const SSourceLayouts layouts{MakeSourceLayout(sources[0].get(), styles[0]),
                                 MakeSourceLayout(sources[1].get(), styles[1])};
    // The fades of a build come from the bottom/right page's style.
    const SFadeSettings fades = FadeSettingsOf(styles[1]);
    SProgressView view{&err, isatty(STDERR_FILENO) == 1, options.quiet, -1};
    SBuildJob job;
    job.outputPath = options.output;
    job.videoSizeIndex = options.videoSize;
    job.frameRateIndex = options.frameRate;
    job.squeeze = true;
    job.outputFormat = format;
    job.direction = BuildDirection(layouts);
    job.fadeSettings = &fades;
    job.progressContext = &view;
    job.progressCallback = ShowProgress;
    job.colourMatrix = options.matrix;

    Interrupted = false;
    const auto previous = std::signal(SIGINT, OnInterrupt);
    const int result = CSubBuilder().Build(job, layouts);
    std::signal(SIGINT, previous);
    if (view.terminal && !options.quiet)
        err << '\n';
    if (result == BuildDone)
        UserMessages().Show(QString("%1\nwas built sucessfully ! ").arg(options.output),
                            EMessageKind::Information);
    return result;
}

#include "SubBuilder.h"

#include "BuildChecks.h"
#include "LineGroups.h"
#include "pgs/GroupEncoder.h"
#include "pgs/MuiIndex.h"
#include "pgs/Timing.h"
#include "pgs/VideoFormats.h"
#include "platform/UserMessages.h"
#include "source/Placement.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <memory>

namespace {

// The output files of one build. Both are written to temporary files beside
// their final names and only take those names when the build succeeded;
// until then an older file of the same name stays untouched.
class COutputs {
public:
    bool Open(const QString& path, bool pes)
    {
        Main = std::make_unique<QSaveFile>(path);
        if (!Main->open(QIODevice::WriteOnly))
            return Failed(*Main);
        if (!pes)
            return true;
        Index = std::make_unique<QSaveFile>(path + ".mui");
        if (!Index->open(QIODevice::WriteOnly) || !WriteMuiHeader(*Index))
            return Failed(*Index);
        return true;
    }

    QIODevice& MainFile() { return *Main; }

    // After a failed write: the file that failed, or the stream.
    void ReportWriteError() const
    {
        if (Index && Index->error() != QFileDevice::NoError)
            Failed(*Index);
        else
            Failed(*Main);
    }
    QIODevice* IndexFile() { return Index.get(); }

    // Gives both files their names. The index follows its stream: if it
    // cannot be committed the new stream, useless without it, is removed.
    bool Commit()
    {
        if (Index && !WriteMuiTrailer(*Index)) {
            Failed(*Index);
            Discard();
            return false;
        }
        if (!Main->commit()) {
            Failed(*Main);
            Discard();
            return false;
        }
        if (Index && !Index->commit()) {
            Failed(*Index);
            QFile::remove(Main->fileName());
            return false;
        }
        return true;
    }

    // Tells the user which file could not be written, and why.
    static bool Failed(const QSaveFile& file)
    {
        UserMessages().Show(QString("%1\r\n%2").arg(file.fileName(), file.errorString()),
                            EMessageKind::Error);
        return false;
    }

    void Discard()
    {
        if (Main)
            Main->cancelWriting();
        if (Index)
            Index->cancelWriting();
        // QSaveFile removes its temporary file when it is destroyed without
        // a commit.
        Main.reset();
        Index.reset();
    }

private:
    std::unique_ptr<QSaveFile> Main;
    std::unique_ptr<QSaveFile> Index;
};

// Keeps a picture that fits the frame inside it: a stream cannot show what
// lies beyond the frame's edges.
QPoint KeepInside(QPoint corner, QSize picture, const SVideoSize& frame)
{
    if (picture.width() <= frame.Width)
        corner.setX(std::clamp(corner.x(), 0, frame.Width - picture.width()));
    if (picture.height() <= frame.Height)
        corner.setY(std::clamp(corner.y(), 0, frame.Height - picture.height()));
    return corner;
}

const char* const LaneNames[2] = {"Top/left", "Bottom/right"};

// h:mm:ss.mmm of a tick count.
QString ClockText(std::uint32_t ticks)
{
    const std::uint64_t ms = (std::uint64_t{ticks} + 45) / 90;
    return QString::asprintf("%llu:%02llu:%02llu.%03llu",
                             static_cast<unsigned long long>(ms / 3600000),
                             static_cast<unsigned long long>(ms / 60000 % 60),
                             static_cast<unsigned long long>(ms / 1000 % 60),
                             static_cast<unsigned long long>(ms % 1000));
}

// One line of the build's report of what it changed.
QString AdjustmentText(const SAdjustment& adjustment)
{
    QStringList lines;
    for (int i = 0; i < 2; ++i) {
        if (adjustment.line[i] >= 0)
            lines << QString("%1 line %2").arg(LaneNames[i]).arg(adjustment.line[i] + 1);
    }
    const QString who = lines.join(" and ");
    const QString at = ClockText(adjustment.wanted);
    switch (adjustment.kind) {
    case EAdjustment::Later: {
        const double ms = (double(adjustment.given) - adjustment.wanted) / 90.0;
        return QString("%1 at %2: %3 %4 ms later, the time a player needs to decode it")
            .arg(who, at, adjustment.ending ? "taken off" : "shown")
            .arg(ms, 0, 'f', 1);
    }
    case EAdjustment::Merged:
        return QString("%1 at %2 overlap on the frame: sent as one picture").arg(who, at);
    case EAdjustment::Kept:
        return QString("%1 at %2: shown together for %3 frames, each change alone would last "
                       "less than 5")
            .arg(who, at)
            .arg(adjustment.frames);
    case EAdjustment::NotShown:
        return QString("%1 at %2: not shown, it is on screen for less than 5 frames").arg(who, at);
    }
    return {};
}

// Most changes one report lists; the rest are counted.
constexpr qsizetype MostReportedAdjustments = 50;

void ReportAdjustments(const QStringList& lines)
{
    if (lines.isEmpty())
        return;
    QString text = QString("The stream differs from the scripts in %1 %2 so that players can "
                           "decode it:")
                       .arg(lines.size())
                       .arg(lines.size() == 1 ? "place" : "places");
    for (qsizetype i = 0; i < lines.size() && i < MostReportedAdjustments; ++i)
        text += "\n" + lines[i];
    if (lines.size() > MostReportedAdjustments)
        text += QString("\n... and %1 more").arg(lines.size() - MostReportedAdjustments);
    UserMessages().Show(text, EMessageKind::Warning);
}

class CProgress {
public:
    explicit CProgress(const SBuildJob& job) : Job(job) {}

    void Start()
    {
        if (Job.progressCallback)
            Job.progressCallback(Job.progressContext, {1, 0, Job.outputPath});
    }

    // Reports the share of lines done; false when the user asked to stop.
    bool Report(int done, int total)
    {
        if (!Job.progressCallback)
            return true;
        const int percent = static_cast<int>(done * 100.0 / total);
        if (percent == Last && done % 5 != 0)
            return true;
        if (Job.progressCallback(Job.progressContext, {0, percent, {}}) == 0)
            return false;
        Last = percent;
        return true;
    }

    void Finish()
    {
        if (Job.progressCallback)
            Job.progressCallback(Job.progressContext, {0, 100, {}});
    }

private:
    const SBuildJob& Job;
    int Last = 0;
};

}  // namespace

int CSubBuilder::Build(const SBuildJob& job, const SSourceLayouts& layouts)
{
    if ((!layouts[0].source && !layouts[1].source) || job.outputPath.isEmpty())
        return BuildFailed;
    if (job.videoSizeIndex < 0 || job.videoSizeIndex >= VideoSizeCount || job.frameRateIndex < 0 ||
        job.frameRateIndex >= FrameRateCount)
        return BuildFailed;
    const SVideoSize& frame = VideoSizeAt(job.videoSizeIndex);
    const double rate = FrameRateAt(job.frameRateIndex).Rate();
    const int rateCode = FrameRateCodeOf(rate);

    // Nothing is written where a stream cannot go: over a folder or a
    // device, into a missing or closed folder.
    const bool pes = job.outputFormat == OutputPes;
    QStringList paths{job.outputPath};
    if (pes)
        paths << job.outputPath + ".mui";
    for (const QString& path : paths) {
        const QString refused = CheckOutputFile(path);
        if (!refused.isEmpty()) {
            UserMessages().Show(QString("%1\r\n%2").arg(path, refused), EMessageKind::Error);
            return BuildFailed;
        }
    }
    COutputs outputs;
    if (!outputs.Open(job.outputPath, pes)) {
        outputs.Discard();
        return BuildFailed;
    }

    static const std::vector<SSubLine> NoLines;
    const std::vector<SSubLine>& lines0 = layouts[0].source ? layouts[0].source->lines : NoLines;
    const std::vector<SSubLine>& lines1 = layouts[1].source ? layouts[1].source->lines : NoLines;
    const std::vector<SLineGroup> groups = MakeLineGroups(lines0, lines1, rate);
    int total = 0;
    for (const SLineGroup& group : groups) {
        if (group.first0 >= 0)
            total += group.last0 - group.first0 + 1;
        if (group.first1 >= 0)
            total += group.last1 - group.first1 + 1;
    }

    CProgress progress(job);
    progress.Start();
    std::uint16_t compositionCounter = 0;
    int done = 0;
    QStringList adjustments;
    SGroupContext context;
    context.frameWidth = frame.Width;
    context.frameHeight = frame.Height;
    context.frameRateCode = rateCode;
    context.forced = 0;
    context.colourMatrix = ColourMatrixFor(job.colourMatrix, job.videoSizeIndex);

    // Pictures live only until their group is written.
    auto release = [&context] {
        for (SWindowLane& lane : context.lanes)
            lane = SWindowLane{};
    };
    for (const SLineGroup& group : groups) {
        const std::int32_t first[2] = {group.first0, group.first1};
        const std::int32_t last[2] = {group.last0, group.last1};
        for (int i = 0; i < 2; ++i) {
            CSubBase* source = layouts[i].source;
            if (!source || first[i] < 0)
                continue;
            for (std::int32_t j = first[i]; j <= last[i]; ++j) {
                if (!progress.Report(done, total)) {
                    outputs.Discard();
                    return BuildStopped;
                }
                SLineRequest request;
                request.videoSizeIndex = job.videoSizeIndex;
                request.frameRateIndex = job.frameRateIndex;
                request.squeeze = job.squeeze;
                request.lineSpace = layouts[i].LineSpace;
                request.fadeEnable = layouts[i].fadeEnable;
                if (!source->GetLineImage(j, request)) {
                    outputs.Discard();
                    return BuildFailed;
                }
                if (request.image.isNull())
                    continue;

                const SSubLine& line = source->lines[static_cast<std::size_t>(j)];
                const bool oneRow =
                    line.imageFile.isEmpty() && source->GetRowCount(line.entryIndex) == 1;
                const int offset = oneRow ? layouts[i].Location2 : layouts[i].Location;
                const QSize size = request.image.size();
                const QPoint corner =
                    KeepInside(PlaceLineImage(size, request, offset, i == 0, job.direction,
                                              layouts[i].Alignment),
                               size, frame);

                SDisplayEvent event;
                event.start = static_cast<std::uint32_t>(line.start);
                event.end = static_cast<std::uint32_t>(line.end);
                event.image = std::move(request.image);
                event.rect = {corner.x(), corner.y(), corner.x() + size.width(),
                              corner.y() + size.height()};
                event.fadeSettings = line.fade ? job.fadeSettings : nullptr;
                event.line = LoadedLineIndex(line, j);
                context.lanes[static_cast<std::size_t>(i)].events.push_back(std::move(event));
                ++done;
            }
        }
        const bool any = !context.lanes[0].events.empty() || !context.lanes[1].events.empty();
        // A group that cannot be encoded is left out and its lines are
        // reported; the build goes on.
        const EGroupResult encoded =
            any ? EncodeGroup(context, outputs.MainFile(), outputs.IndexFile(), compositionCounter)
                : EGroupResult::Written;
        if (encoded == EGroupResult::WriteFailed) {
            outputs.ReportWriteError();
            outputs.Discard();
            return BuildFailed;
        }
        if (encoded == EGroupResult::NotEncoded) {
            context.adjustments.clear();
            for (std::size_t i = 0; i < context.lanes.size(); ++i) {
                for (const SDisplayEvent& event : context.lanes[i].events) {
                    SAdjustment adjustment;
                    adjustment.kind = EAdjustment::NotShown;
                    adjustment.line[i] = event.line;
                    adjustment.wanted = FrameToTicks(MsToFrame(event.start, rate), rate);
                    context.adjustments.push_back(adjustment);
                }
            }
        }
        for (const SAdjustment& adjustment : context.adjustments)
            adjustments << AdjustmentText(adjustment);
        context.adjustments.clear();
        release();
    }

    if (!outputs.Commit())
        return BuildFailed;
    ReportAdjustments(adjustments);
    progress.Finish();
    return BuildDone;
}

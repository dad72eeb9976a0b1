#include "builder/SubBuilder.h"
#include "support/DecodableStream.h"

#include "PictureSource.h"
#include "pgs/ObjectCoding.h"
#include "pgs/StreamReader.h"
#include "pgs/Timing.h"
#include "support/RecordedMessages.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int Rate25 = 2;  // frame-rate index of 25 fps

struct SProgressLog {
    std::vector<SBuildProgress> Calls;
    int StopAtCall = -1;  // answer 0 to this call (0-based)
};

std::int32_t Record(void* context, const SBuildProgress& progress)
{
    auto* log = static_cast<SProgressLog*>(context);
    log->Calls.push_back(progress);
    return static_cast<int>(log->Calls.size()) - 1 == log->StopAtCall ? 0 : 1;
}

SBuildJob Job(const QString& path, std::int32_t format, SProgressLog* log = nullptr)
{
    SBuildJob job;
    job.outputPath = path;
    job.videoSizeIndex = 0;
    job.frameRateIndex = Rate25;
    job.outputFormat = format;
    job.progressContext = log;
    job.progressCallback = log ? Record : nullptr;
    return job;
}

SSourceLayouts Layouts(CSubBase* top, CSubBase* bottom)
{
    SSourceLayouts layouts;
    layouts[0].source = top;
    layouts[1].source = bottom;
    return layouts;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QStringList Entries(const QTemporaryDir& dir)
{
    return QDir(dir.path())
        .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Two sources whose lines overlap in part: three top lines and two bottom
// lines in two groups (the last bottom line stands alone).
struct SOverlapping {
    CPictureSource Top{{{1000, 3000, 400, 60, qRgb(230, 40, 40)},
                        {5000, 7000, 500, 60, qRgb(40, 200, 60)},
                        {7000, 8000, 300, 60, qRgb(240, 240, 240)}}};
    CPictureSource Bottom{
        {{2000, 6000, 600, 80, qRgb(40, 80, 230)}, {10000, 12000, 360, 80, qRgb(230, 200, 40)}}};
};

// Runs `run` with files kept below 4 KiB, as on a disk that is full.
template <class F> void WithSmallFiles(F run)
{
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    run();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
}

CEpochData ReadBack(const QString& path)
{
    SStreamContent content = ReadStreamFile(path);
    EXPECT_TRUE(content.Ok()) << content.Error;
    ExpectDecodableFile(path);
    return TakeDisplaySets(content);
}

// Rules the whole stream must keep, whatever its pictures.
void ExpectSoundStream(CEpochData& sets)
{
    ASSERT_FALSE(sets.empty());
    std::map<std::pair<std::size_t, int>, int> lastVersion;  // (epoch, object) -> version
    std::size_t epoch = 0;
    for (std::size_t k = 0; k < sets.size(); ++k) {
        CDsData& set = sets[k];
        EXPECT_EQ(set.Pcs.CompositionNumber, k) << "set " << k;
        EXPECT_TRUE(CheckDisplaySet(set)) << "set " << k;
        if (set.CompositionState == EpochStart && k > 0)
            ++epoch;
        for (const COds& ods : set.Objects) {
            if (!ods.FirstInSequence)
                continue;
            const auto key = std::make_pair(epoch, int(ods.ObjectId));
            const auto found = lastVersion.find(key);
            if (found != lastVersion.end()) {
                EXPECT_EQ(ods.ObjectVersion, found->second + 1) << "set " << k;
            } else {
                EXPECT_EQ(ods.ObjectVersion, 0) << "set " << k;
            }
            lastVersion[key] = ods.ObjectVersion;
        }
        if (k > 0) {
            EXPECT_GE(set.Pcs.PTS, sets[k - 1].Pcs.PTS) << "set " << k;
        }
    }
}

}  // namespace

TEST(SubBuilder, TwoSourcesToSupAndPes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SOverlapping sources;
    CSubBuilder builder;
    const QString sup = dir.filePath("both.sup");
    const QString pes = dir.filePath("both.pes");
    ASSERT_EQ(builder.Build(Job(sup, OutputSup), Layouts(&sources.Top, &sources.Bottom)),
              BuildDone);
    ASSERT_EQ(builder.Build(Job(pes, OutputPes), Layouts(&sources.Top, &sources.Bottom)),
              BuildDone);
    EXPECT_EQ(Entries(dir), (QStringList{"both.pes", "both.pes.mui", "both.sup"}));

    CEpochData fromSup = ReadBack(sup);
    ExpectSoundStream(fromSup);
    CEpochData fromPes = ReadBack(pes);
    ExpectSoundStream(fromPes);
    ASSERT_EQ(fromPes.size(), fromSup.size());
    for (std::size_t k = 0; k < fromSup.size(); ++k) {
        EXPECT_EQ(fromPes[k].Pcs.Objects, fromSup[k].Pcs.Objects) << k;
        EXPECT_EQ(fromPes[k].Objects.size(), fromSup[k].Objects.size()) << k;
    }

    // Two groups, so two epochs; the second holds only the lone bottom line.
    std::size_t epochs = 0;
    for (const CDsData& set : fromSup)
        epochs += set.CompositionState == EpochStart ? 1 : 0;
    EXPECT_EQ(epochs, 2u);
    const CDsData& lone = fromSup[fromSup.size() - 2];
    EXPECT_EQ(lone.CompositionState, EpochStart);
    ASSERT_EQ(lone.Pcs.Objects.size(), 1u);
    EXPECT_EQ(lone.Pcs.Objects[0].X, (1920 - 360) / 2);
    EXPECT_EQ(lone.Pcs.Objects[0].Y, 1080 - 80 - 100);
    EXPECT_EQ(lone.Pcs.PTS, FrameToTicks(250, 25));
}

TEST(SubBuilder, StoppedOrFailedBuildsLeaveNothingAndKeepOldFiles)
{
    for (std::int32_t format : {OutputSup, OutputPes}) {
        const char* ext = format == OutputPes ? ".pes" : ".sup";
        SCOPED_TRACE(ext);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        SOverlapping sources;
        CSubBuilder builder;

        // Stopped at the third progress call.
        SProgressLog stop;
        stop.StopAtCall = 2;
        const QString stopped = dir.filePath(QString("stopped") + ext);
        EXPECT_EQ(
            builder.Build(Job(stopped, format, &stop), Layouts(&sources.Top, &sources.Bottom)),
            BuildStopped);
        EXPECT_EQ(stop.Calls.size(), 3u);
        EXPECT_NE(stop.Calls.back().percent, 100);
        EXPECT_TRUE(Entries(dir).isEmpty()) << Entries(dir).join(",").toStdString();

        // A source that cannot draw its second line.
        CPictureSource failing{{{1000, 2000}, {3000, 4000, 400, 60, 0, false, true}, {5000, 6000}}};
        const QString failed = dir.filePath(QString("failed") + ext);
        EXPECT_EQ(builder.Build(Job(failed, format), Layouts(nullptr, &failing)), BuildFailed);
        EXPECT_EQ(failing.Requests, 2);
        EXPECT_TRUE(Entries(dir).isEmpty()) << Entries(dir).join(",").toStdString();

        // Files that were there before stay as they were.
        const QString old = dir.filePath(QString("old") + ext);
        WriteFile(old, "the stream of an earlier build");
        WriteFile(old + ".mui", "its index");
        SProgressLog stopEarly;
        stopEarly.StopAtCall = 1;
        EXPECT_EQ(builder.Build(Job(old, format, &stopEarly), Layouts(&sources.Top, nullptr)),
                  BuildStopped);
        EXPECT_EQ(builder.Build(Job(old, format), Layouts(nullptr, &failing)), BuildFailed);
        EXPECT_EQ(ReadAll(old), "the stream of an earlier build");
        EXPECT_EQ(ReadAll(old + ".mui"), "its index");
        EXPECT_EQ(Entries(dir), (QStringList{QString("old") + ext, QString("old") + ext + ".mui"}));
    }
}

TEST(SubBuilder, ProgressAndLinesWithoutPicture)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    CPictureSource source{{{1000, 2000},
                           {3000, 4000},
                           {5000, 6000, 400, 60, 0, true},
                           {7000, 8000},
                           {9000, 10000},
                           {11000, 12000}}};
    SProgressLog log;
    CSubBuilder builder;
    const QString path = dir.filePath("out.sup");
    ASSERT_EQ(builder.Build(Job(path, OutputSup, &log), Layouts(&source, nullptr)), BuildDone);

    ASSERT_FALSE(log.Calls.empty());
    EXPECT_EQ(log.Calls[0].phase, 1);
    EXPECT_EQ(log.Calls[0].fileName, path);
    std::vector<int> percents;
    for (std::size_t i = 1; i < log.Calls.size(); ++i) {
        EXPECT_EQ(log.Calls[i].phase, 0);
        percents.push_back(log.Calls[i].percent);
    }
    // Six lines, the third without a picture: it neither counts nor reports.
    EXPECT_EQ(percents, (std::vector<int>{0, 16, 33, 50, 66, 100}));

    CEpochData sets = ReadBack(path);
    ExpectSoundStream(sets);
    std::size_t shown = 0;
    for (const CDsData& set : sets)
        shown += set.Pcs.Objects.size();
    EXPECT_EQ(shown, 5u);  // one set per shown line, each with its object
}

TEST(SubBuilder, BuildsThatShowNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    CPictureSource blank{{{1000, 2000, 400, 60, 0, true}, {3000, 4000, 400, 60, 0, true}}};
    CSubBuilder builder;
    SProgressLog log;
    ASSERT_EQ(builder.Build(Job(dir.filePath("a.sup"), OutputSup, &log), Layouts(&blank, nullptr)),
              BuildDone);
    EXPECT_EQ(ReadAll(dir.filePath("a.sup")), QByteArray());
    EXPECT_EQ(log.Calls.back().percent, 100);
    ASSERT_EQ(builder.Build(Job(dir.filePath("a.pes"), OutputPes), Layouts(nullptr, &blank)),
              BuildDone);
    EXPECT_EQ(ReadAll(dir.filePath("a.pes")), QByteArray());
    EXPECT_EQ(ReadAll(dir.filePath("a.pes.mui")),
              QByteArray::fromHex("00000003ff00000000000000000000000000"));

    // Nothing to build from, or nowhere to write.
    EXPECT_EQ(builder.Build(Job(dir.filePath("b.sup"), OutputSup), Layouts(nullptr, nullptr)),
              BuildFailed);
    EXPECT_EQ(builder.Build(Job("", OutputSup), Layouts(&blank, nullptr)), BuildFailed);
    EXPECT_EQ(
        builder.Build(Job(dir.filePath("missing/b.sup"), OutputSup), Layouts(&blank, nullptr)),
        BuildFailed);
    EXPECT_EQ(Entries(dir), (QStringList{"a.pes", "a.pes.mui", "a.sup"}));
}

TEST(SubBuilder, FullDiskFailsTheBuild)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SOverlapping sources;
    CSubBuilder builder;
    const QString path = dir.filePath("full.sup");
    WriteFile(path, "older");

    int sup = -1, pes = -1;
    WithSmallFiles([&] {
        sup = builder.Build(Job(path, OutputSup), Layouts(&sources.Top, &sources.Bottom));
        pes = builder.Build(Job(dir.filePath("full.pes"), OutputPes),
                            Layouts(&sources.Top, &sources.Bottom));
    });

    EXPECT_EQ(sup, BuildFailed);
    EXPECT_EQ(pes, BuildFailed);
    EXPECT_EQ(ReadAll(path), "older");
    EXPECT_EQ(Entries(dir), QStringList{"full.sup"});
}

// The user learns which file could not be written and the system's reason.
TEST(SubBuilder, WriteFailuresAreReportedWithThePath)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SOverlapping sources;
    CRecordedMessages messages;
    const QString path = dir.filePath("full.sup");
    int result = -1;
    WithSmallFiles([&] {
        result = CSubBuilder().Build(Job(path, OutputSup), Layouts(&sources.Top, &sources.Bottom));
    });
    EXPECT_EQ(result, BuildFailed);
    // A write cut short by the limit comes back without a reason of its own;
    // a full disk gives the system's (below).
    ASSERT_EQ(messages.Shown.size(), 1u);
    EXPECT_TRUE(messages.Shown[0].startsWith(path + "\r\n")) << messages.Shown[0].toStdString();
    EXPECT_GT(messages.Shown[0].size(), path.size() + 2);
    EXPECT_TRUE(Entries(dir).isEmpty());
}

// Where a stream cannot go, nothing is written at all.
TEST(SubBuilder, RefusesOutputsThatCannotBeStreams)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.sup"));
    CPictureSource source{{{1000, 2000}}};
    struct {
        const char* what;
        QString path;
        std::int32_t format;
        QString reason;
    } cases[] = {
        {"a folder", dir.filePath("folder.sup"), OutputSup, std::strerror(EISDIR)},
        {"a device", "/dev/full", OutputSup, "Not a regular file"},
        {"a missing folder", dir.filePath("missing/out.sup"), OutputSup, std::strerror(ENOENT)},
        {"an index over a folder", dir.filePath("folder"), OutputPes, std::strerror(EISDIR)},
    };
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.mui"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CRecordedMessages messages;
        EXPECT_EQ(CSubBuilder().Build(Job(c.path, c.format), Layouts(nullptr, &source)),
                  BuildFailed);
        ASSERT_EQ(messages.Shown.size(), 1u);
        const QString shownPath = c.format == OutputPes ? c.path + ".mui" : c.path;
        EXPECT_EQ(messages.Shown[0], shownPath + "\r\n" + c.reason);
    }
    EXPECT_EQ(source.Requests, 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              (QStringList{"folder.mui", "folder.sup"}));
    struct stat device {};
    ASSERT_EQ(stat("/dev/full", &device), 0);
    EXPECT_TRUE(S_ISCHR(device.st_mode));
    EXPECT_TRUE(QDir("/dev").entryList({"full?*"}, QDir::AllEntries | QDir::System).isEmpty());

    // A folder the user may not write to (root may write anywhere).
    if (geteuid() != 0) {
        const QString closed = dir.filePath("closed");
        ASSERT_TRUE(QDir(dir.path()).mkdir("closed"));
        ASSERT_EQ(chmod(QFile::encodeName(closed).constData(), 0555), 0);
        CRecordedMessages messages;
        EXPECT_EQ(
            CSubBuilder().Build(Job(closed + "/out.sup", OutputSup), Layouts(nullptr, &source)),
            BuildFailed);
        ASSERT_EQ(messages.Shown.size(), 1u);
        EXPECT_EQ(messages.Shown[0], closed + "/out.sup\r\n" + std::strerror(EACCES));
        chmod(QFile::encodeName(closed).constData(), 0755);
    }
}

// A real filesystem that fills up: a 64 KiB tmpfs, when the test may mount.
TEST(SubBuilder, BuildOntoAFullFilesystem)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small filesystem needs root";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray mountPoint = QFile::encodeName(dir.path());
    if (mount("tandeo-full", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "no tmpfs here: " << std::strerror(errno);
    SOverlapping sources;
    const QString old = dir.filePath("old.sup");
    WriteFile(old, "an earlier stream");
    // Every byte left taken by another file.
    {
        QFile filler(dir.filePath("filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(1024, 'x');
        while (filler.write(block) == block.size()) {
        }
    }
    int results[2] = {};
    std::vector<QString> shown;
    {
        CRecordedMessages messages;
        results[0] = CSubBuilder().Build(Job(dir.filePath("new.sup"), OutputSup),
                                         Layouts(&sources.Top, &sources.Bottom));
        results[1] =
            CSubBuilder().Build(Job(old, OutputSup), Layouts(&sources.Top, &sources.Bottom));
        shown = messages.Shown;
    }
    const QStringList left = Entries(dir);
    const QByteArray kept = ReadAll(old);
    umount(mountPoint.constData());
    EXPECT_EQ(results[0], BuildFailed);
    EXPECT_EQ(results[1], BuildFailed);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], dir.filePath("new.sup") + "\r\n" + std::strerror(ENOSPC));
    EXPECT_EQ(shown[1], old + "\r\n" + std::strerror(ENOSPC));
    EXPECT_EQ(left, (QStringList{"filler", "old.sup"}));
    EXPECT_EQ(kept, "an earlier stream");
}

TEST(SubBuilder, FfmpegShowsEveryLineAtItsPlaceAndTime)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SOverlapping sources;
    // The job's automatic matrix makes BT.709 palettes for the 1920 x 1080
    // frame, the matrix ffmpeg converts HD palettes with.
    const SBuildJob job = Job(dir.filePath("both.sup"), OutputSup);
    CSubBuilder builder;
    ASSERT_EQ(builder.Build(job, Layouts(&sources.Top, &sources.Bottom)), BuildDone);

    // The centre column of the frame, top band and bottom band stacked.
    const int cropX = 560, width = 800, topY = 90, bottomY = 890, band = 100;
    const int frames = 13 * 25;
    const QString filter =
        QString("[0:v][1:s]overlay=eof_action=pass,split[a][b];[a]crop=%1:%2:%3:%4[t];"
                "[b]crop=%1:%2:%3:%5[u];[t][u]vstack")
            .arg(width)
            .arg(band)
            .arg(cropX)
            .arg(topY)
            .arg(bottomY);
    const QString raw = dir.filePath("frames.raw");
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-nostdin",
                            "-v",
                            "error",
                            "-y",
                            "-copyts",
                            "-f",
                            "lavfi",
                            "-i",
                            "color=c=black:s=1920x1080:r=25",
                            "-i",
                            job.outputPath,
                            "-filter_complex",
                            filter,
                            "-frames:v",
                            QString::number(frames),
                            "-f",
                            "rawvideo",
                            "-pix_fmt",
                            "rgb24",
                            raw});
    ASSERT_TRUE(ffmpeg.waitForFinished(300000));
    ASSERT_EQ(ffmpeg.exitCode(), 0) << ffmpeg.readAllStandardError().toStdString();
    const QByteArray video = ReadAll(raw);
    ASSERT_EQ(video.size(), qsizetype(frames) * width * band * 2 * 3);

    auto pixel = [&](int frame, int x, int y) {
        const int row = y < 540 ? y - topY : band + (y - bottomY);
        const qsizetype at = ((qsizetype(frame) * band * 2 + row) * width + (x - cropX)) * 3;
        return QColor(static_cast<unsigned char>(video[at]),
                      static_cast<unsigned char>(video[at + 1]),
                      static_cast<unsigned char>(video[at + 2]));
    };
    auto near = [](QColor a, QColor b) {
        return std::abs(a.red() - b.red()) <= 24 && std::abs(a.green() - b.green()) <= 24 &&
               std::abs(a.blue() - b.blue()) <= 24;
    };
    // Each line's picture centre: shown during its frames (one frame of
    // slack at either end), and nothing of it outside them.
    const struct {
        const STestLine* Line;
        bool Top;
    } lines[] = {{&sources.Top.Specs[0], true},
                 {&sources.Top.Specs[1], true},
                 {&sources.Top.Specs[2], true},
                 {&sources.Bottom.Specs[0], false},
                 {&sources.Bottom.Specs[1], false}};
    for (const auto& l : lines) {
        const int x = 960;
        const int y = l.Top ? 100 + l.Line->height / 2 : 1080 - 100 - l.Line->height / 2;
        const int first =
            static_cast<int>(MsToFrame(static_cast<std::uint32_t>(l.Line->start), 25));
        const int end = static_cast<int>(MsToFrame(static_cast<std::uint32_t>(l.Line->end), 25));
        const QColor colour(l.Line->colour);
        for (int frame = 0; frame < frames; ++frame) {
            const QColor seen = pixel(frame, x, y);
            if (frame > first && frame < end - 1) {
                EXPECT_TRUE(near(seen, colour)) << "frame " << frame << " line at " << l.Line->start
                                                << " ms: " << seen.name().toStdString();
            }
            if (frame < first - 1 || frame > end) {
                EXPECT_FALSE(near(seen, colour))
                    << "frame " << frame << " line at " << l.Line->start
                    << " ms: " << seen.name().toStdString();
            }
        }
    }
    // The outline edge of the first top line, at its left end.
    const int left = (1920 - 400) / 2;
    EXPECT_LT(pixel(50, left + 3, 130).lightness(), 80);
    EXPECT_EQ(pixel(50, left - 3, 130), QColor(0, 0, 0));
}

// What the stream changes to stay decodable is told with the line and time.
TEST(SubBuilder, AdjustmentsAreReportedWithLineAndTime)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The first top line starts with the film; the second bottom line lies
    // inside a longer top line for three frames only.
    CPictureSource top{{{0, 2000}, {3000, 7000}}};
    CPictureSource bottom{{{1000, 2000, 400, 60, qRgb(40, 40, 230)}, {4000, 4120}}};
    CRecordedMessages messages;
    const QString path = dir.filePath("adjusted.sup");
    ASSERT_EQ(CSubBuilder().Build(Job(path, OutputSup), Layouts(&top, &bottom)), BuildDone);
    ASSERT_EQ(messages.Shown.size(), 1u);
    const QString expected =
        "The stream differs from the scripts in 2 places so that players can decode it:\n"
        "Top/left line 1 at 0:00:00.000: shown %1 ms later, the time a player needs to decode "
        "it\n"
        "Top/left line 2 and Bottom/right line 2 at 0:00:04.000: shown together for 3 frames, "
        "each change alone would last less than 5";
    const QString& shown = messages.Shown[0];
    const QString delay = shown.section(" shown ", 1).section(" ms later", 0, 0);
    EXPECT_EQ(shown.toStdString(), expected.arg(delay).toStdString());
    EXPECT_GT(delay.toDouble(), 64.8) << delay.toStdString();
    ExpectDecodableFile(path);
}

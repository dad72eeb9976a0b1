// Subtitle files written outside this project, as users bring them: each is
// read by `tandeo script` (with the code page a user would give it, where it
// is neither UTF-8 nor marked) and must give the entries counted without
// Tandeo, then built as the bottom script under the Sintel English script
// at the top, simultaneous lines of one script joined; the stream must hold
// in a player's decoder. Files that no reader takes must be refused with a
// message. Where we read other than the count, the table below says what we
// read and why, so that a change either way shows.

#include "cli/Commands.h"
#include "pgs/DecoderModel.h"

#include "support/RecordedMessages.h"
#include "support/RunTandeo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <limits>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

const QString RealWorld = QString(TANDEO_FIXTURES_DIR) + "/realworld";

// Under the address sanitizer a line takes some 90 ms to draw, so the films
// of a thousand lines and more are built in optimised builds only (all 80
// files build in half a minute there); every file is still read.
#if defined(__SANITIZE_ADDRESS__)
constexpr int MostBuiltLines = 300;
#else
constexpr int MostBuiltLines = std::numeric_limits<int>::max();
#endif

struct SFile {
    std::string Path;  // below the realworld folder
    std::string Format;
    int Entries = 0;
    std::optional<int> CodePage;
    int Read = 0;  // the entries we read; -1 when the file is refused
    bool Builds = true;
};

void PrintTo(const SFile& f, std::ostream* out)
{
    *out << f.Path;
}

std::optional<qint64> Number(const QString& text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

// expected.tsv: path, format, decoded_as, entries, first_start, first_end,
// first_text; codepages.tsv: path and Windows code page, '#' starts a
// comment.
// Where we read other than the count, and why; -1: the file is refused.
struct SKnown {
    const char* Path;
    int Entries;
    bool Builds;
};
const SKnown Known[] = {
    // Hundreds of karaoke effect lines on screen at once, placed by \pos:
    // joined, they stack into a picture taller than the frame.
    {"JavascriptSubtitlesOctopus/railgun_op.ass", 5743, false},
    // WrapStyle 2 keeps a line wider than the frame on one row.
    {"Mobsub/rStyle.ass", 4, false},
    // FFmpeg's SAMI reader gives the two cues of one <SYNC> as one.
    {"SamiTS/font-reposition.smi", 1, true},
    // 27 lines end before they start and are left out.
    {"SubtitlesParser/20140115-194321_invalidSub.sub", 1848, true},
    // A Dialogue line without text is left out.
    {"SubtitlesParser/20140117-211217_invalidSub.ass", 42, true},
    // The scripts come behind an HTTP "Content-Type" header.
    {"SubtitlesParser/20140118-173751_invalidSub.sub", -1, false},
    {"SubtitlesParser/20140120-074450_invalidSub.txt", -1, false},
    // A caption without text is left out.
    {"SubtitlesParser/timedtext.xml", 155, true},
    // Five Dialogue lines have no readable time and are left out.
    {"androidx-media/ssa/invalid_timecodes.ssa", 3, true},
    // The first cue, written without hours, is read too.
    {"androidx-media/subrip/typical_no_hours_and_millis.srt", 3, true},
    // FFmpeg's WebVTT reader finds no cue in a file of CR line ends.
    {"androidx-media/webvtt/with_wide_unicode_chars_and_cr_endings.vtt", 0, false},
    // FFmpeg reads the last time of each file as a cue of its own.
    {"gaupol/lrc.lrc", 9, true},
    {"gaupol/mpl2.txt", 9, true},
    // A Dialogue line without text is left out.
    {"go-astisub/example-in-carriage-return.ssa", 2, true},
    // EBU STL is binary; FFmpeg's reader of Spruce STL, a text format of
    // the same extension, takes it and finds no cue.
    {"go-astisub/example-in.stl", 0, false},
    // No reader takes UTF-32.
    {"pysrt/bom-utf-32-le.srt", -1, false},
    // FFmpeg's SAMI reader gives the cues of one <SYNC> as one.
    {"subsrt/sample.smi", 6, true},
    // Fonts and no events: read, with nothing to build.
    {"pysubs2/subtitle_with_attached_fonts_no_events.ass", 0, false},
};

std::vector<SFile> ReadFiles()
{
    std::map<QString, int> codePages;
    QFile pages(RealWorld + "/codepages.tsv");
    if (pages.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QTextStream in(&pages);
        while (!in.atEnd()) {
            const QString line = in.readLine();
            if (line.startsWith('#') || line.trimmed().isEmpty())
                continue;
            const QStringList fields = line.split('\t');
            if (fields.size() >= 2 && Number(fields[1]))
                codePages[fields[0]] = int(*Number(fields[1]));
        }
    }
    std::vector<SFile> files;
    QFile expected(RealWorld + "/expected.tsv");
    if (!expected.open(QIODevice::ReadOnly | QIODevice::Text))
        return files;
    QTextStream in(&expected);
    in.readLine();  // the heading
    while (!in.atEnd()) {
        const QStringList fields = in.readLine().split('\t');
        if (fields.size() < 5 || !Number(fields[3]))
            continue;
        SFile f;
        f.Path = fields[0].toStdString();
        f.Format = fields[1].toStdString();
        f.Entries = int(*Number(fields[3]));
        if (const auto page = codePages.find(fields[0]); page != codePages.end())
            f.CodePage = page->second;
        f.Read = f.Entries > 0 ? f.Entries : -1;
        f.Builds = f.Entries > 0;
        for (const SKnown& known : Known) {
            if (f.Path == known.Path) {
                f.Read = known.Entries;
                f.Builds = known.Builds;
            }
        }
        files.push_back(f);
    }
    return files;
}

class RealWorldTest : public ::testing::TestWithParam<SFile> {
protected:
    QStringList CodePage(const SFile& f) const
    {
        return f.CodePage ? QStringList{"--code-page", QString::number(*f.CodePage)}
                          : QStringList{};
    }

    QTemporaryDir Dir;
    CRecordedMessages Messages;
};

TEST_P(RealWorldTest, ReadsTheEntriesAndBuilds)
{
    const SFile& f = GetParam();
    const QString path = RealWorld + "/" + QString::fromStdString(f.Path);
    ASSERT_TRUE(QFileInfo::exists(path)) << path.toStdString();
    ASSERT_TRUE(Dir.isValid());

    std::string errors;
    std::string output;
    const int read =
        RunTandeo(QStringList{"script"} + CodePage(f) + QStringList{path}, &errors, &output);
    const QString sup = Dir.filePath("out.sup");
    const QString settings = Dir.filePath("empty.ini");
    {
        QFile file(settings);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QStringList build =
        QStringList{
            "build",      "--top",      QString(TANDEO_FIXTURES_DIR) + "/sintel/sintel_en.srt",
            "--bottom",   path,         "-o",
            sup,          "--settings", settings,
            "--overlaps", "join",       "--quiet"} +
        CodePage(f);

    if (f.Read < 0) {
        EXPECT_EQ(read, 2);
        EXPECT_FALSE(errors.empty()) << "refused without a message";
    } else {
        ASSERT_EQ(read, 0) << errors;
        static const QRegularExpression count(R"(^entries: (\d+)$)",
                                              QRegularExpression::MultilineOption);
        const QRegularExpressionMatch m = count.match(QString::fromStdString(output));
        ASSERT_TRUE(m.hasMatch()) << output.substr(0, 2000);
        EXPECT_EQ(m.captured(1).toInt(), f.Read) << "counted elsewhere: " << f.Entries;
    }

    if (!f.Builds) {
        // Refused, and said so.
        std::string buildErrors;
        Messages.Shown.clear();
        EXPECT_NE(RunTandeo(build, &buildErrors), 0);
        EXPECT_FALSE(buildErrors.empty() && Messages.Shown.empty()) << "refused without a message";
        EXPECT_FALSE(QFileInfo::exists(sup));
        return;
    }
    if (f.Read > MostBuiltLines)
        GTEST_SKIP() << f.Read << " lines are built in optimised builds only";
    std::string buildErrors;
    ASSERT_EQ(RunTandeo(build, &buildErrors), 0) << buildErrors;
    SModelReport report;
    std::string problem;
    ASSERT_TRUE(CheckStreamFile(sup, report, problem)) << problem;
    EXPECT_TRUE(report.Passes(false)) << FormatModelReport(report);
}

std::string FileName(const ::testing::TestParamInfo<SFile>& info)
{
    std::string name;
    for (const char c : info.param.Path)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RealWorldTest, ::testing::ValuesIn(ReadFiles()), FileName);

}  // namespace

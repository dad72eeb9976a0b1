#include "cli/Commands.h"

#include "support/PeerDecoders.h"
#include "support/RecordedMessages.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sstream>

namespace {

struct SResult {
    int Status;
    std::string Out;
    std::string Err;
};

SResult Script(const QString& path)
{
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCommandLine({"script", path}, out, err);
    return {status, out.str(), err.str()};
}

QString Write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return file.fileName();
}

}  // namespace

TEST(ScriptCommand, PrintsWhatWasRead)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = Write(dir, "movie.srt",
                               "\xef\xbb\xbf"
                               "1\n00:00:01,000 --> 00:00:03,500\nHello\nworld\n\n"
                               "2\n01:02:03,004 --> 01:02:04,000\nBye\n");
    const SResult result = Script(path);
    ASSERT_EQ(result.Status, 0) << result.Err;
    EXPECT_EQ(result.Out, "reader: SubRip\n"
                          "timing: milliseconds\n"
                          "encoding: UTF-8\n"
                          "script size: 0 x 0\n"
                          "styles: 1\n"
                          "  Default: font \"Arial\", size 24, weight 700, italic no, alignment 2, "
                          "margins 20,20,20,20, charset 1\n"
                          "entries: 2\n"
                          "  1  00:00:01.000 --> 00:00:03.500  Default  Hello\\Nworld\n"
                          "  2  01:02:03.004 --> 01:02:04.000  Default  Bye\n");
}

TEST(ScriptCommand, FramesAndFailures)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const SResult frames = Script(Write(dir, "a.sub", "{25}{50}Hello\n"));
    ASSERT_EQ(frames.Status, 0) << frames.Err;
    EXPECT_NE(frames.Out.find("timing: frames\n"), std::string::npos) << frames.Out;
    EXPECT_NE(frames.Out.find("  1  frame 25 --> frame 50  Default  Hello\n"), std::string::npos)
        << frames.Out;

    const QString unknown = Write(dir, "words.txt", "nothing that any reader takes\n");
    const SResult none = Script(unknown);
    EXPECT_EQ(none.Status, 2);
    EXPECT_EQ(none.Err,
              "tandeo script: " + unknown.toStdString() + ": Unknown subtitle format! \n");

    CRecordedMessages messages;
    QByteArray broken;
    for (int i = 1; i <= 3; ++i)
        broken += QByteArray::number(i) + "\n00:00:0" + QByteArray::number(i) + ",000 --> 00:00:0" +
                  QByteArray::number(i) + ",500\nText\n\n";
    broken += "4\nnot a time\n";
    const SResult syntax = Script(Write(dir, "broken.srt", broken));
    EXPECT_EQ(syntax.Status, 2);
    EXPECT_EQ(messages.Shown, std::vector<QString>{"Syntax error at line 14!\t"});
}

// A video file made by ffmpeg: its text tracks first (index as ffprobe
// numbers the streams, codec, language), then the entries of the one read.
TEST(ScriptCommand, TextTracksOfAVideoFile)
{
    if (!HaveProgram("ffmpeg"))
        GTEST_SKIP() << "ffmpeg is not installed (scripts/deps installs it)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString srt = Write(dir, "subs.srt",
                              "1\n00:00:01,000 --> 00:00:02,500\nFirst\n\n"
                              "2\n00:00:03,000 --> 00:00:04,000\nSecond\n");
    const QString mkv = dir.filePath("movie.mkv");
    const SProgramRun made = RunProgram("ffmpeg", {"-nostdin",
                                                   "-v",
                                                   "error",
                                                   "-y",
                                                   "-f",
                                                   "lavfi",
                                                   "-i",
                                                   "color=c=black:s=160x120:d=5",
                                                   "-i",
                                                   srt,
                                                   "-i",
                                                   srt,
                                                   "-map",
                                                   "0",
                                                   "-map",
                                                   "1",
                                                   "-map",
                                                   "2",
                                                   "-c:v",
                                                   "mjpeg",
                                                   "-c:s:0",
                                                   "srt",
                                                   "-c:s:1",
                                                   "ass",
                                                   "-metadata:s:s:0",
                                                   "language=eng",
                                                   mkv});
    ASSERT_TRUE(made.Ok()) << made.Errors.toStdString();

    const SResult first = Script(mkv);
    ASSERT_EQ(first.Status, 0) << first.Err;
    EXPECT_EQ(first.Out, "tracks: 2\n"
                         "  #1  subrip  eng  (read)\n"
                         "  #2  ass  und\n"
                         "reader: FFmpeg matroska,webm (subrip)\n"
                         "timing: milliseconds\n"
                         "encoding: UTF-8\n"
                         "script size: 0 x 0\n"
                         "styles: 1\n"
                         "  Default: font \"Arial\", size 24, weight 700, italic no, alignment 2, "
                         "margins 20,20,20,20, charset 1\n"
                         "entries: 2\n"
                         "  1  00:00:01.000 --> 00:00:02.500  Default  First\n"
                         "  2  00:00:03.000 --> 00:00:04.000  Default  Second\n");

    const SResult second = Script(mkv + "#2");
    ASSERT_EQ(second.Status, 0) << second.Err;
    EXPECT_EQ(second.Out.rfind("tracks: 2\n  #1  subrip  eng\n  #2  ass  und  (read)\n"
                               "reader: FFmpeg matroska,webm (ass)\n",
                               0),
              0u)
        << second.Out;

    struct Case {
        QString Path;
        std::string Error;
    } failures[] = {
        {mkv + "#7", "No text subtitle track #7! "},
        {mkv + "#0", "Stream #0 is not a text subtitle track! "},
    };
    for (const Case& c : failures) {
        const SResult failed = Script(c.Path);
        EXPECT_EQ(failed.Status, 2) << c.Error;
        EXPECT_EQ(failed.Err, "tandeo script: " + c.Path.toStdString() + ": " + c.Error + "\n");
        EXPECT_TRUE(failed.Out.empty());
    }

    // Cut short: the lines that are left are not passed off as the whole.
    QFile whole(mkv);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QString cut = Write(dir, "cut.mkv", whole.readAll().chopped(300));
    const SResult truncated = Script(cut);
    EXPECT_EQ(truncated.Status, 2);
    // FFmpeg's own words about the cut follow ours.
    EXPECT_EQ(truncated.Err.rfind("tandeo script: " + cut.toStdString() +
                                      ": The file is damaged or cut short: ",
                                  0),
              0u)
        << truncated.Err;
}

#include "cli/Commands.h"

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
    EXPECT_EQ(none.Err, "tandeo script: " + unknown.toStdString() + ": read error! \n");

    CRecordedMessages messages;
    QByteArray broken;
    for (int i = 1; i <= 3; ++i)
        broken += QByteArray::number(i) + "\n00:00:0" + QByteArray::number(i) + ",000 --> 00:00:0" +
                  QByteArray::number(i) + ",500\nText\n\n";
    broken += "4\nnot a time\n";
    const SResult damaged = Script(Write(dir, "damaged.srt", broken));
    EXPECT_EQ(damaged.Status, 0);
    EXPECT_NE(damaged.Out.find("entries: 3\n"), std::string::npos) << damaged.Out;
    EXPECT_EQ(messages.Shown, std::vector<QString>{"line 14: skipped, no valid time"});

    messages.Shown.clear();
    const SResult syntax = Script(
        Write(dir, "broken.ass",
              "[Script Info]\n[Events]\n"
              "Dialogue: Marked=0,0:00:01.00,0:00:02.00,Default,,0,0,0,,a\n[Script Info]\n"));
    EXPECT_EQ(syntax.Status, 2);
    EXPECT_EQ(messages.Shown, std::vector<QString>{"Syntax error at line 4!\t"});
}

#include "cli/Commands.h"

#include "pgs/MuiIndex.h"
#include "pgs/SampleEpoch.h"
#include "pgs/StreamWriter.h"

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

SResult Tandeo(const QStringList& args)
{
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCommandLine(args, out, err);
    return {status, out.str(), err.str()};
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class InspectTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Dir.isValid()); }

    QString WriteSample(const QString& name, bool pes)
    {
        const QString path = Dir.filePath(name);
        CEpochData epoch = MakeSampleEpoch();
        QFile main(path);
        EXPECT_TRUE(main.open(QIODevice::WriteOnly));
        if (!pes) {
            EXPECT_EQ(WriteEpoch(epoch, main, nullptr), EWriteResult::Written);
            return path;
        }
        QFile mui(path + ".mui");
        EXPECT_TRUE(mui.open(QIODevice::WriteOnly));
        EXPECT_TRUE(WriteMuiHeader(mui));
        EXPECT_EQ(WriteEpoch(epoch, main, &mui), EWriteResult::Written);
        EXPECT_TRUE(WriteMuiTrailer(mui));
        return path;
    }

    QTemporaryDir Dir;
};

}  // namespace

TEST_F(InspectTest, OneLinePerSegmentAndASummary)
{
    const QString path = WriteSample("sample.sup", false);
    const SResult result = Tandeo({"inspect", path});
    ASSERT_EQ(result.Status, 0) << result.Err;
    EXPECT_EQ(result.Err, "");

    const std::vector<std::string> lines = Lines(result.Out);
    const CEpochData epoch = MakeSampleEpoch();
    std::size_t segments = 0;
    for (const CDsData& set : epoch)
        segments += 2 + (set.Wds ? 1 : 0) + set.Palettes.size() + set.Objects.size();
    ASSERT_EQ(lines.size(), segments + 1);

    // The first line: offset 0, the Epoch Start PCS at 1 s with both objects.
    const std::string& first = lines.front();
    EXPECT_EQ(first.rfind("         0  PCS  PTS      90000 (   1.000000 s)  DTS ", 0), 0u) << first;
    EXPECT_NE(first.find("composition 10, Epoch Start, video 1920x1080, rate code 3, palette "
                         "update no, palette 0, objects 2 [object 0 window 0 at 100,40] [object 1 "
                         "window 1 at 600,900]"),
              std::string::npos)
        << first;
    EXPECT_NE(lines[1].find("WDS  PTS"), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find(
                  "windows 2 [window 0 at 100,40 size 1200x600] [window 1 at 600,900 size 300x60]"),
              std::string::npos)
        << lines[1];
    EXPECT_NE(lines[2].find("palette 0 version 0, entries 256"), std::string::npos) << lines[2];
    EXPECT_NE(
        lines[3].find("object 0 version 0, first, fragment 65515 bytes, object 1200x600, data "),
        std::string::npos)
        << lines[3];
    EXPECT_NE(lines[4].find("object 0 version 0, "), std::string::npos) << lines[4];

    const QFile file(path);
    EXPECT_EQ(lines.back(), "display sets 3, epochs 1, objects 3, segments " +
                                std::to_string(segments) + ", bytes " +
                                std::to_string(file.size()));
}

TEST_F(InspectTest, PesWithItsIndex)
{
    const QString path = WriteSample("sample.pes", true);
    const SResult result = Tandeo({"inspect", path});
    ASSERT_EQ(result.Status, 0) << result.Err;
    const std::vector<std::string> lines = Lines(result.Out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front().rfind("         0  PCS  PTS      90000 (   1.000000 s)", 0), 0u)
        << lines.front();
    EXPECT_EQ(lines.back().rfind("display sets 3, epochs 1, objects 3, ", 0), 0u) << lines.back();
}

TEST_F(InspectTest, MalformedInputExitsWithTwoAndNamesTheOffset)
{
    const QString path = WriteSample("cut.sup", false);
    QFile file(path);
    const qint64 size = file.size();
    ASSERT_TRUE(file.resize(size - 5));

    const SResult result = Tandeo({"inspect", path});
    EXPECT_EQ(result.Status, 2);
    EXPECT_EQ(result.Err, "tandeo inspect: " + path.toStdString() + ": byte " +
                              std::to_string(size - 13) +
                              ": SUP header cut short (8 of 10 bytes)\n");
    // The segments before the fault are still listed, without a summary.
    const std::vector<std::string> lines = Lines(result.Out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().find("display sets"), std::string::npos);

    const SResult missing = Tandeo({"inspect", Dir.filePath("none.sup")});
    EXPECT_EQ(missing.Status, 2);
    EXPECT_EQ(missing.Err.rfind("tandeo inspect: " + Dir.filePath("none.sup").toStdString() +
                                    ": cannot open ",
                                0),
              0u)
        << missing.Err;

    QFile garbage(Dir.filePath("garbage.sup"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("this is not a stream at all");
    garbage.close();
    const SResult bad = Tandeo({"inspect", garbage.fileName()});
    EXPECT_EQ(bad.Status, 2);
    EXPECT_EQ(bad.Err, "tandeo inspect: " + garbage.fileName().toStdString() +
                           ": byte 0: wrong magic 0x74 0x68, a SUP segment starts with \"PG\"\n");
}

TEST(CommandLine, HelpVersionAndWrongUsage)
{
    for (const char* help : {"help", "-h", "--help"}) {
        const SResult result = Tandeo({help});
        EXPECT_EQ(result.Status, 0) << help;
        EXPECT_EQ(result.Out.rfind("usage: tandeo COMMAND", 0), 0u) << help;
        EXPECT_NE(result.Out.find("inspect FILE"), std::string::npos) << help;
    }
    EXPECT_EQ(Tandeo({"--version"}).Out, "Tandeo, V1.4.4.0\n");

    const SResult none = Tandeo({});
    EXPECT_EQ(none.Status, 1);
    EXPECT_EQ(none.Err.rfind("usage: tandeo COMMAND", 0), 0u);

    const SResult unknown = Tandeo({"frobnicate"});
    EXPECT_EQ(unknown.Status, 1);
    EXPECT_EQ(unknown.Err, "tandeo: unknown command 'frobnicate'\n"
                           "Run 'tandeo --help' for the list of commands.\n");

    const SResult noFile = Tandeo({"inspect"});
    EXPECT_EQ(noFile.Status, 1);
    EXPECT_EQ(noFile.Err, "usage: tandeo inspect FILE\n");
}

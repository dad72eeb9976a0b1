// A space written just before a tag is the gap between two words in the
// stream as FFmpeg decodes it: the line with the tag shows the same gap as
// the line without.

#include "support/PeerDecoders.h"
#include "support/RunTandeo.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

const QRgb Black = qRgb(0, 0, 0);

// The widest run of columns without ink between the first and the last
// inked column of `frame`.
int WidestInnerGap(const QImage& frame)
{
    std::vector<bool> inked(static_cast<std::size_t>(frame.width()), false);
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            if (qGray(frame.pixel(x, y)) > 60)
                inked[static_cast<std::size_t>(x)] = true;
    int first = -1, last = -1;
    for (int x = 0; x < frame.width(); ++x)
        if (inked[static_cast<std::size_t>(x)]) {
            if (first < 0)
                first = x;
            last = x;
        }
    int widest = 0, run = 0;
    for (int x = first; x >= 0 && x <= last; ++x) {
        run = inked[static_cast<std::size_t>(x)] ? 0 : run + 1;
        widest = std::max(widest, run);
    }
    return widest;
}

}  // namespace

TEST(SpaceBeforeTag, DecodedGapMatchesTheLineWithoutTheTag)
{
    if (!HaveProgram("ffmpeg"))
        GTEST_SKIP() << "ffmpeg is not installed (scripts/deps installs it)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString settings = dir.filePath("empty.ini");
    {
        QFile file(settings);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    struct Case {
        const char* Name;
        const char* Text;
    } cases[] = {
        {"plain", "de quidditch"},
        {"override tag", "de {\\c&H0000FF&}quidditch"},
        {"font tag", "de <font color=\"#ffff00\">quidditch</font>"},
    };
    int gaps[3] = {};
    for (int i = 0; i < 3; ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.Name);
        const QString script = dir.filePath(QString("line%1.srt").arg(i));
        {
            QFile file(script);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(QByteArray("1\n00:00:01,000 --> 00:00:03,000\n") + c.Text + "\n");
        }
        const QString sup = dir.filePath(QString("line%1.sup").arg(i));
        std::string errors;
        ASSERT_EQ(
            RunTandeo({"build", "--bottom", script, "-o", sup, "--video-size", "1920x1080", "--fps",
                       "23.976", "--settings", settings, "--quiet", "--set", "Bottom/FontSize=60"},
                      &errors),
            0)
            << errors;
        // Frame 48 is two seconds in, in the middle of the line.
        const SDecodedFrames decoded =
            FfmpegOverColour(sup, QSize(1920, 1080), "24000/1001", 24000.0 / 1001.0, Black, {48},
                             dir.filePath(QString("line%1.raw").arg(i)));
        ASSERT_TRUE(decoded.Ok()) << decoded.Problem;
        ASSERT_EQ(decoded.Frames.size(), 1u);
        gaps[i] = WidestInnerGap(decoded.Frames[0]);
    }
    // A 60-pixel space is some 15 pixels wide, the gaps in the letters less.
    EXPECT_GE(gaps[0], 10);
    EXPECT_LE(std::abs(gaps[1] - gaps[0]), 2) << gaps[1] << " against " << gaps[0];
    EXPECT_LE(std::abs(gaps[2] - gaps[0]), 2) << gaps[2] << " against " << gaps[0];
}

// The command line over files that users get from anywhere: empty, binary,
// cut short, enormous, malformed in every way. Each must end with a clear
// status and message, in reasonable time, without a crash and without a
// file left behind. The program runs as its own process, so a crash or a
// hang is reported as such.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>
#include <random>

namespace {

const QByteArray Good = "1\n00:00:01,000 --> 00:00:02,000\nHello there\n\n"
                        "2\n00:00:03,000 --> 00:00:04,000\nSecond line\n\n";

const QByteArray AssHead = "[Script Info]\nScriptType: v4.00+\nPlayResX: 640\nPlayResY: 480\n\n"
                           "[V4+ Styles]\n";

QByteArray Style(const QByteArray& name)
{
    return "Style: " + name +
           ",Arial,20,&H00FFFFFF,&H000000FF,&H00000000,&H00000000,0,0,0,0,100,100,0,0,1,2,2,2,"
           "10,10,10,1\n";
}

QByteArray Dialogue(const QByteArray& style, const QByteArray& text)
{
    return "\n[Events]\nDialogue: 0,0:00:01.00,0:00:02.00," + style + ",,0,0,0,," + text + "\n";
}

quint32 Crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray Chunk(const char* type, const QByteArray& data)
{
    QByteArray chunk;
    const auto be32 = [&chunk](quint32 v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            chunk.append(char((v >> shift) & 0xFF));
    };
    be32(quint32(data.size()));
    const QByteArray body = QByteArray(type) + data;
    chunk += body;
    be32(Crc32(body));
    return chunk;
}

// A PNG that declares 30000 x 30000 pixels in under a hundred bytes.
QByteArray HugePng()
{
    QByteArray header;
    for (quint32 v : {30000u, 30000u})
        for (int shift = 24; shift >= 0; shift -= 8)
            header.append(char((v >> shift) & 0xFF));
    header += QByteArray::fromHex("0806000000");  // 8 bits, RGBA
    return QByteArray::fromHex("89504e470d0a1a0a") + Chunk("IHDR", header) +
           Chunk("IDAT", QByteArray::fromHex("789c030000000001")) + Chunk("IEND", {});
}

struct SHostile {
    const char* name;
    QByteArray (*content)();
    // The arguments after "tandeo"; FILE is the hostile file, OUT the output.
    QStringList args;
    int status;
    const char* message;  // what standard error must hold
};

const SHostile Cases[] = {
    {"empty.srt",
     [] { return QByteArray(); },
     {"build", "--bottom", "FILE", "-o", "OUT"},
     2,
     "Unknown subtitle format! "},
    {"binary.srt",
     [] {
         std::mt19937 random(7);
         QByteArray bytes;
         for (int i = 0; i < 4096; ++i)
             bytes.append(char(random() & 0xFF));
         return bytes;
     },
     {"build", "--bottom", "FILE", "-o", "OUT"},
     2,
     "Unknown subtitle format! "},
    // A video file's mark over noise: FFmpeg's demuxer refuses it.
    {"noise.mkv",
     [] {
         std::mt19937 random(5);
         QByteArray bytes("\x1a\x45\xdf\xa3");
         for (int i = 0; i < 4096; ++i)
             bytes.append(char(random() & 0xFF));
         return bytes;
     },
     {"list", "FILE"},
     2,
     "The file cannot be read: Invalid data found when processing input! "},
    // The cut block is left out; the blocks before it are built.
    {"truncated.srt",
     [] { return Good.left(70); },
     {"build", "--bottom", "FILE", "-o", "OUT"},
     0,
     "line 6: skipped, no valid time"},
    {"10MB-line.srt",
     [] { return "1\n00:00:01,000 --> 00:00:02,000\n" + QByteArray(10 << 20, 'x') + "\n\n"; },
     {"build", "--bottom", "FILE", "-o", "OUT"},
     2,
     "Font is too big. Subtitle cannot be fully shown! \nLine: 1"},
    {"nested-braces.ass",
     [] {
         return AssHead + Style("Default") +
                Dialogue("Default", QByteArray(100000, '{') + "x" + QByteArray(100000, '}'));
     },
     {"build", "--bottom", "FILE", "-o", "OUT"},
     2,
     "Font is too big."},
    {"nested-tags.ass",
     [] {
         return AssHead + Style("Default") +
                Dialogue("Default", "{\\t(\\t(\\t(" + QByteArray(60000, '(') + "x");
     },
     {"build", "--bottom", "FILE", "-o", "OUT"},
     2,
     "Font is too big."},
    {"nul-bytes.srt",
     [] { return Good + QByteArray(1000, '\0'); },
     {"build", "--bottom", "FILE", "-o", "OUT"},
     2,
     "Font is too big."},
    {"invalid-utf8.srt",
     [] {
         return Good + "3\n00:00:05,000 --> 00:00:06,000\n\xff\xfe\xc3\x28\xa0\xa1\xe2\x28\xa1\n\n";
     },
     {"build", "--bottom", "FILE", "-o", "OUT"},
     0,
     "was built sucessfully ! "},
    {"invalid-utf16.srt",
     [] {
         QByteArray text = "\xff\xfe";
         for (char c : Good)
             text += QByteArray(1, c) + '\0';
         return text + QByteArray::fromHex("00d8410000dc");  // lone surrogates
     },
     {"build", "--bottom", "FILE", "-o", "OUT"},
     0,
     "was built sucessfully ! "},
    {"100000-styles.ass",
     [] {
         QByteArray text = AssHead;
         for (int i = 0; i < 100000; ++i)
             text += Style("S" + QByteArray::number(i));
         return text + Dialogue("S99999", "Hello");
     },
     {"build", "--bottom", "FILE", "-o", "OUT"},
     0,
     "was built sucessfully ! "},
    {"huge.png",
     HugePng,
     {"render", "HELLO", "1", "-o", "OUT.png", "--background", "FILE"},
     2,
     "neither a #RRGGBB colour nor a picture"},
    {"huge-texture.png",
     HugePng,
     {"build", "--bottom", "HELLO", "-o", "OUT", "--set", "Bottom/BrushType=3", "--set",
      "Bottom/TextureImage=FILE"},
     0,
     "Image open error! "},
    {"huge.sup", HugePng, {"inspect", "FILE"}, 2, "byte 0: "},
    {"a-folder.srt", nullptr, {"build", "--bottom", "FILE", "-o", "OUT"}, 2, "read error! "},
    {"to-a-device.srt",
     [] { return Good; },
     {"build", "--bottom", "FILE", "-o", "/dev/full", "--force"},
     2,
     "Output format is not supported! "},
    {"to-a-folder.srt",
     [] { return Good; },
     {"build", "--bottom", "FILE", "-o", "FOLDER", "--force"},
     2,
     "Is a directory"},
};

void PrintTo(const SHostile& c, std::ostream* out)
{
    *out << c.name;
}

class BadInputTest : public ::testing::TestWithParam<SHostile> {};

TEST_P(BadInputTest, EndsWithAClearStatusAndMessage)
{
    const SHostile& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(c.name);
    if (c.content) {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(c.content());
    } else {
        ASSERT_TRUE(QDir(dir.path()).mkdir(c.name));
    }
    const QString hello = dir.filePath("hello-line.srt");
    {
        QFile out(hello);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(Good);
    }
    const QString settings = dir.filePath("settings.ini");
    QFile(settings).open(QIODevice::WriteOnly);
    const QString output = dir.filePath("out/stream.sup");
    ASSERT_TRUE(QDir(dir.path()).mkdir("out"));

    const QString folder = dir.filePath("folder.sup");
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.sup"));
    QStringList args;
    for (const QString& arg : c.args) {
        const std::pair<const char*, QString> tokens[] = {
            {"FILE", file},
            {"HELLO", hello},
            {"OUT.png", dir.filePath("out/stream.png")},
            {"OUT", output},
            {"FOLDER", folder}};
        QString value = arg;
        for (const auto& [token, path] : tokens)
            if (arg == token)
                value = path;
        if (arg.endsWith("=FILE"))
            value = arg.left(arg.size() - 4) + file;
        args << value;
    }
    if (args.front() != "inspect")
        args << "--settings" << settings;
    if (args.front() == "build")
        args << "--quiet";
    QProcess tandeo;
    tandeo.start(TANDEO_BINARY, args);
    ASSERT_TRUE(tandeo.waitForStarted());
    // A guard against hangs, far above what any of these takes.
    const bool finished = tandeo.waitForFinished(180000);
    if (!finished)
        tandeo.kill();
    ASSERT_TRUE(finished) << "no end within 3 minutes";
    const QString err = QString::fromUtf8(tandeo.readAllStandardError());
    EXPECT_EQ(tandeo.exitStatus(), QProcess::NormalExit) << "crashed: " << err.toStdString();
    EXPECT_EQ(tandeo.exitCode(), c.status) << err.toStdString();
    EXPECT_TRUE(err.contains(QString::fromUtf8(c.message))) << err.toStdString();
    EXPECT_FALSE(err.contains("runtime error")) << err.toStdString();
    EXPECT_FALSE(err.contains("AddressSanitizer")) << err.toStdString();
    // A failed build leaves nothing; a good one just its stream.
    const QStringList left =
        QDir(dir.filePath("out")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    if (c.status == 0 && args.front() == "build")
        EXPECT_EQ(left, QStringList{"stream.sup"});
    else
        EXPECT_TRUE(left.isEmpty()) << left.join(",").toStdString();
}

INSTANTIATE_TEST_SUITE_P(HostileFiles, BadInputTest, ::testing::ValuesIn(Cases),
                         [](const ::testing::TestParamInfo<SHostile>& info) {
                             QString name = QString(info.param.name);
                             name.replace('.', '_').replace('-', '_');
                             return name.toStdString();
                         });

}  // namespace

#include "pgs/StreamReader.h"

#include "SampleEpoch.h"
#include "pgs/MuiIndex.h"
#include "pgs/ObjectCoding.h"
#include "pgs/PaletteEntries.h"
#include "pgs/StreamWriter.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Contents(const QBuffer& buffer)
{
    return Bytes(buffer.data().begin(), buffer.data().end());
}

struct SWritten {
    Bytes Main;
    Bytes Index;
};

SWritten WriteStream(CEpochData& epoch, bool pes)
{
    QBuffer main;
    main.open(QIODevice::WriteOnly);
    QBuffer mui;
    mui.open(QIODevice::WriteOnly);
    if (pes) {
        EXPECT_TRUE(WriteMuiHeader(mui));
    }
    EXPECT_EQ(WriteEpoch(epoch, main, pes ? &mui : nullptr), EWriteResult::Written);
    if (pes) {
        EXPECT_TRUE(WriteMuiTrailer(mui));
    }
    return {Contents(main), Contents(mui)};
}

SStreamContent ReadSup(const Bytes& bytes)
{
    return ReadSupStream(bytes.data(), bytes.size());
}

SStreamContent ReadPes(const SWritten& written)
{
    return ReadPesStream(written.Main.data(), written.Main.size(), written.Index.data(),
                         written.Index.size());
}

// Segments framed for SUP one after the other, with the offset of each.
struct SSequence {
    Bytes Sup;
    std::vector<std::size_t> Offsets;

    SSequence& Add(CSegmentBase&& segment)
    {
        Offsets.push_back(Sup.size());
        EXPECT_TRUE(SerialiseSegment(segment, true, Sup));
        return *this;
    }
};

CPcs Pcs(std::uint8_t state = EpochStart)
{
    CPcs pcs;
    pcs.Video = {1920, 1080, 1, 0};
    pcs.CompositionState = state;
    return pcs;
}

CWds Wds()
{
    CWds wds;
    wds.AddWindow({0, 10, 10, 100, 50});
    return wds;
}

COds Fragment(const Bytes& data, std::size_t from, std::size_t to, bool first, bool last,
              std::uint16_t id = 0)
{
    COds ods;
    ods.ObjectId = id;
    ods.FirstInSequence = first;
    ods.LastInSequence = last;
    ods.Data.assign(data.begin() + static_cast<std::ptrdiff_t>(from),
                    data.begin() + static_cast<std::ptrdiff_t>(to));
    return ods;
}

// What a ".mui" index keeps of a segment's time stamps.
void KeepIndexPrecision(CSegmentBase& segment)
{
    const std::uint32_t dts = segment.DTS != 0 ? segment.DTS : segment.PTS;
    segment.DTS = (((dts + MuiTimeOffset) >> 1) << 1) - MuiTimeOffset;
    segment.PTS = (((segment.PTS + MuiTimeOffset) >> 2) << 2) - MuiTimeOffset;
}

void KeepIndexPrecision(CEpochData& epoch)
{
    for (CDsData& set : epoch) {
        KeepIndexPrecision(set.Pcs);
        if (set.Wds)
            KeepIndexPrecision(*set.Wds);
        for (CPds& pds : set.Palettes)
            KeepIndexPrecision(pds);
        for (COds& ods : set.Objects)
            KeepIndexPrecision(ods);
        KeepIndexPrecision(*set.End);
    }
}

void ExpectSameEpoch(const CEpochData& read, const CEpochData& written)
{
    ASSERT_EQ(read.size(), written.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].CompositionState, written[i].CompositionState) << "set " << i;
        EXPECT_EQ(read[i].Pcs, written[i].Pcs) << "set " << i;
        EXPECT_EQ(read[i].Wds, written[i].Wds) << "set " << i;
        EXPECT_EQ(read[i].Palettes, written[i].Palettes) << "set " << i;
        EXPECT_EQ(read[i].Objects, written[i].Objects) << "set " << i;
        EXPECT_EQ(read[i].End, written[i].End) << "set " << i;
    }
}

}  // namespace

TEST(StreamReader, SupRoundTripComparesFieldByField)
{
    CEpochData epoch = MakeSampleEpoch();
    const SWritten written = WriteStream(epoch, false);
    SStreamContent content = ReadSup(written.Main);
    ASSERT_TRUE(content.Ok()) << content.Error;
    EXPECT_EQ(content.Bytes, written.Main.size());
    EXPECT_EQ(content.Segments.front().Offset, 0u);
    ExpectSameEpoch(TakeDisplaySets(content), epoch);
}

TEST(StreamReader, PesRoundTripKeepsTheIndexPrecision)
{
    CEpochData epoch = MakeSampleEpoch();
    const SWritten written = WriteStream(epoch, true);
    SStreamContent content = ReadPes(written);
    ASSERT_TRUE(content.Ok()) << content.Error;
    KeepIndexPrecision(epoch);
    ExpectSameEpoch(TakeDisplaySets(content), epoch);
}

TEST(StreamReader, FilesByExtension)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    CEpochData epoch = MakeSampleEpoch();
    const SWritten sup = WriteStream(epoch, false);
    const SWritten pes = WriteStream(epoch, true);
    auto save = [&](const QString& name, const Bytes& bytes) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    };
    save("a.sup", sup.Main);
    save("b.PES", pes.Main);
    save("b.PES.mui", pes.Index);
    save("c.pes", pes.Main);

    EXPECT_TRUE(ReadStreamFile(dir.filePath("a.sup")).Ok());
    const SStreamContent fromPes = ReadStreamFile(dir.filePath("b.PES"));
    EXPECT_TRUE(fromPes.Ok()) << fromPes.Error;
    EXPECT_EQ(fromPes.Segments.size(), ReadStreamFile(dir.filePath("a.sup")).Segments.size());

    const std::string missingIndex = ReadStreamFile(dir.filePath("c.pes")).Error;
    EXPECT_EQ(
        missingIndex.rfind("cannot open " + dir.filePath("c.pes.mui").toStdString() + ": ", 0), 0u)
        << missingIndex;
    const std::string missing = ReadStreamFile(dir.filePath("none.sup")).Error;
    EXPECT_EQ(missing.rfind("cannot open ", 0), 0u) << missing;
}

TEST(StreamReader, EmptySupIsAnEmptyStream)
{
    const SStreamContent content = ReadSup({});
    EXPECT_TRUE(content.Ok());
    EXPECT_TRUE(content.Segments.empty());
}

TEST(StreamReader, MalformedSupFramingAndLengths)
{
    // PCS at 0 (24 bytes), WDS at 24 (23 bytes), END at 47 (13 bytes).
    SSequence clearing;
    clearing.Add(Pcs(NormalCase)).Add(Wds()).Add(CEs());
    const Bytes good = clearing.Sup;
    ASSERT_EQ(good.size(), 60u);
    ASSERT_TRUE(ReadSup(good).Ok());

    auto cut = [&](std::size_t length) { return Bytes(good.begin(), good.begin() + length); };
    auto with = [&](std::size_t at, std::uint8_t value) {
        Bytes bytes = good;
        bytes[at] = value;
        return bytes;
    };
    struct Case {
        const char* Name;
        Bytes Stream;
        std::string Error;
        std::size_t SegmentsRead;
    } cases[] = {
        {"header cut", cut(5), "byte 0: SUP header cut short (5 of 10 bytes)", 0},
        {"second header cut", cut(30), "byte 24: SUP header cut short (6 of 10 bytes)", 1},
        {"segment header cut", cut(36), "byte 34: segment header cut short (2 of 3 bytes)", 1},
        {"payload cut", cut(40),
         "byte 34: WDS length 10 runs past the end of the file (3 bytes left)", 1},
        {"wrong magic", with(24, 'X'),
         "byte 24: wrong magic 0x58 0x47, a SUP segment starts with \"PG\"", 1},
        {"wrong first magic", with(1, 'H'),
         "byte 0: wrong magic 0x50 0x48, a SUP segment starts with \"PG\"", 0},
        {"unknown type", with(34, 0x18), "byte 34: unknown segment type 0x18", 1},
        {"length past end", with(35, 0xFF),
         "byte 34: WDS length 65290 runs past the end of the file (23 bytes left)", 1},
        {"payload garbage", with(37, 3), "byte 34: WDS: window segment holds 3 windows (at most 2)",
         1},
        {"no END", cut(47), "byte 47: the stream ends inside the display set at byte 0 (no END)",
         2},
    };
    for (const Case& c : cases) {
        const SStreamContent content = ReadSup(c.Stream);
        EXPECT_EQ(content.Error, c.Error) << c.Name;
        EXPECT_EQ(content.Segments.size(), c.SegmentsRead) << c.Name;
    }
}

TEST(StreamReader, MalformedDisplaySetStructure)
{
    SSequence early;
    early.Add(Wds()).Add(Pcs()).Add(CEs());
    SSequence nested;
    nested.Add(Pcs()).Add(Wds()).Add(Pcs()).Add(CEs());
    SSequence twoWindows;
    twoWindows.Add(Pcs()).Add(Wds()).Add(Wds()).Add(CEs());
    SSequence strayEnd;
    strayEnd.Add(Pcs()).Add(CEs()).Add(CEs());
    struct Case {
        const char* Name;
        const SSequence& Stream;
        std::string Error;
    } cases[] = {
        {"WDS first", early, "byte 0: WDS outside a display set (no PCS before it)"},
        {"PCS inside a set", nested,
         "byte " + std::to_string(nested.Offsets[2]) +
             ": PCS starts a display set before the one at byte 0 ended"},
        {"two WDS", twoWindows,
         "byte " + std::to_string(twoWindows.Offsets[2]) +
             ": second WDS in the display set at byte 0"},
        {"END twice", strayEnd,
         "byte " + std::to_string(strayEnd.Offsets[2]) +
             ": END outside a display set (no PCS before it)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadSup(c.Stream.Sup).Error, c.Error) << c.Name;
}

TEST(StreamReader, MalformedObjects)
{
    const Bytes data = EncodeObjectData(NoisePicture(200, 40, 2));
    ASSERT_GT(data.size(), 200u);
    const std::size_t half = data.size() / 2;
    Bytes wrongHeight = data;
    wrongHeight[6] += 1;
    Bytes shortLength = data;
    shortLength[2] -= 1;

    SSequence whole;
    whole.Add(Pcs())
        .Add(Fragment(data, 0, half, true, false))
        .Add(Fragment(data, half, data.size(), false, true))
        .Add(CEs());
    ASSERT_TRUE(ReadSup(whole.Sup).Ok()) << ReadSup(whole.Sup).Error;

    SSequence unfinished;
    unfinished.Add(Pcs()).Add(Fragment(data, 0, half, true, false)).Add(CEs());
    SSequence orphan;
    orphan.Add(Pcs()).Add(Fragment(data, half, data.size(), false, true)).Add(CEs());
    SSequence otherId;
    otherId.Add(Pcs())
        .Add(Fragment(data, 0, half, true, false))
        .Add(Fragment(data, half, data.size(), false, true, 9))
        .Add(CEs());
    SSequence restart;
    restart.Add(Pcs())
        .Add(Fragment(data, 0, half, true, false))
        .Add(Fragment(data, 0, data.size(), true, true, 1))
        .Add(CEs());
    SSequence badRows;
    badRows.Add(Pcs()).Add(Fragment(wrongHeight, 0, data.size(), true, true)).Add(CEs());
    SSequence tooMuch;
    tooMuch.Add(Pcs()).Add(Fragment(shortLength, 0, data.size(), true, true)).Add(CEs());

    auto at = [](const SSequence& s, std::size_t i) { return std::to_string(s.Offsets[i]); };
    struct Case {
        const char* Name;
        const SSequence& Stream;
        std::string Error;
    } cases[] = {
        {"last fragment missing", unfinished,
         "byte " + at(unfinished, 2) + ": END while object 0 that starts at byte " +
             at(unfinished, 1) + " is incomplete"},
        {"fragment without start", orphan,
         "byte " + at(orphan, 1) + ": ODS fragment of object 0 continues no object"},
        {"fragment of another object", otherId,
         "byte " + at(otherId, 2) +
             ": ODS fragment of object 9 version 0 continues object 0 version 0"},
        {"object restarted", restart,
         "byte " + at(restart, 2) + ": object 1 starts while object 0 that starts at byte " +
             at(restart, 1) + " is incomplete"},
        {"rows disagree with the height", badRows,
         "byte " + at(badRows, 1) + ": object 0 that starts at byte " + at(badRows, 1) +
             ": run-length data ends inside row 40"},
        {"more data than declared", tooMuch,
         "byte " + at(tooMuch, 1) + ": fragments of object 0 hold more than its declared " +
             std::to_string(data.size() - 4) + " bytes"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadSup(c.Stream.Sup).Error, c.Error) << c.Name;
}

TEST(StreamReader, MalformedPesIndex)
{
    CDsData set = MakeDisplaySet(NormalCase, 0, 1, {{0, 0, 0, 10, 10}}, {}, nullptr, 90000);
    CEpochData epoch{set};
    const SWritten good = WriteStream(epoch, true);
    // PCS at 0 (14 bytes), WDS at 14 (13 bytes), END at 27 (3 bytes); the
    // index holds records at 4, 18 and 32 and the trailer at 46.
    ASSERT_EQ(good.Main.size(), 30u);
    ASSERT_EQ(good.Index.size(), 60u);
    ASSERT_TRUE(ReadPes(good).Ok()) << ReadPes(good).Error;

    auto index = [&](std::size_t at, std::uint8_t value) {
        SWritten w = good;
        w.Index[at] = value;
        return w;
    };
    auto cutIndex = [&](std::size_t length) {
        SWritten w = good;
        w.Index.resize(length);
        return w;
    };
    SWritten longer = good;
    longer.Index.push_back(0);
    SWritten earlyTrailer = good;
    std::fill(earlyTrailer.Index.begin() + 32, earlyTrailer.Index.begin() + 46, 0);
    earlyTrailer.Index[32] = 0xFF;
    struct Case {
        const char* Name;
        SWritten Stream;
        std::string Error;
    } cases[] = {
        {"header", index(3, 2), "index byte 0: the index does not start with 00 00 00 03"},
        {"no header", cutIndex(2), "index byte 0: the index does not start with 00 00 00 03"},
        {"record type", index(18, SegmentPds),
         "index byte 18: record names type 0x14 of 13 bytes, the segment at byte 14 is a WDS of 13 "
         "bytes"},
        {"record length", index(22, 12),
         "index byte 18: record names type 0x17 of 12 bytes, the segment at byte 14 is a WDS of 13 "
         "bytes"},
        {"reserved bytes", index(31, 1), "index byte 18: record has reserved bytes set"},
        {"records missing", cutIndex(30),
         "index byte 18: the index ends before the record of the segment at byte 14"},
        {"trailer missing", cutIndex(46),
         "index byte 46: expected the index trailer after the last segment's record"},
        {"trailer early", earlyTrailer,
         "index byte 32: the index trailer comes before the record of the segment at byte 27"},
        {"bytes after the trailer", longer, "index byte 60: 1 bytes follow the index trailer"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadPes(c.Stream).Error, c.Error) << c.Name;
}

TEST(StreamReader, DamagedStreamsAreRefusedOrReadWhole)
{
    // Every single-byte change and every cut of a small stream either reads
    // as a well-formed stream or is refused with a message; under the
    // sanitizers this also shows that no damage reads out of bounds.
    CDsData show = MakeDisplaySet(EpochStart, 0, 1, {{0, 0, 0, 16, 6}},
                                  {{0, 0, 0, 0, 0, NoisePicture(16, 6, 4, 4)}}, nullptr, 90000);
    const CErgbPalette palette = SamplePalette();
    show.Palettes.emplace_back();
    FillPds(show.Palettes.back(), palette);
    CEpochData epoch{show,
                     MakeDisplaySet(NormalCase, 1, 1, {{0, 0, 0, 16, 6}}, {}, nullptr, 180000)};
    const SWritten sup = WriteStream(epoch, false);
    CEpochData again = epoch;
    const SWritten pes = WriteStream(again, true);

    // A cut is only whole at the start and between the two display sets.
    const SStreamContent whole = ReadSup(sup.Main);
    ASSERT_TRUE(whole.Ok()) << whole.Error;
    std::size_t between = 0;
    for (const SReadSegment& segment : whole.Segments) {
        if (segment.Segment->Type == SegmentPcs)
            between = segment.Offset;
    }
    ASSERT_GT(between, 0u);

    std::size_t refused = 0;
    for (std::size_t at = 0; at < sup.Main.size(); ++at) {
        for (std::uint8_t value :
             {std::uint8_t(0x00), std::uint8_t(0xFF), std::uint8_t(sup.Main[at] ^ 0x01)}) {
            Bytes damaged = sup.Main;
            damaged[at] = value;
            const SStreamContent content = ReadSup(damaged);
            refused += content.Ok() ? 0 : 1;
            EXPECT_TRUE(content.Ok() || content.Error.rfind("byte ", 0) == 0) << content.Error;
        }
        const SStreamContent cut = ReadSup(Bytes(sup.Main.begin(), sup.Main.begin() + at));
        EXPECT_EQ(cut.Ok(), at == 0 || at == between) << at << ": " << cut.Error;
    }
    EXPECT_GT(refused, sup.Main.size());

    for (std::size_t at = 0; at < pes.Index.size(); ++at) {
        SWritten damaged = pes;
        damaged.Index[at] ^= 0x80;
        const SStreamContent content = ReadPes(damaged);
        // Only the time stamps may change without the index becoming invalid.
        const std::size_t inRecord = (at - MuiHeaderSize) % MuiRecordSize;
        if (at >= MuiHeaderSize && at + MuiRecordSize < pes.Index.size() && inRecord >= 5 &&
            inRecord <= 12) {
            EXPECT_TRUE(content.Ok()) << at << ": " << content.Error;
        } else {
            EXPECT_FALSE(content.Ok()) << at;
        }
        SWritten cut = pes;
        cut.Index.resize(at);
        EXPECT_FALSE(ReadPes(cut).Ok()) << at;
    }
}

#include "StreamReader.h"

#include "ByteOrder.h"
#include "MuiIndex.h"
#include "ObjectCoding.h"
#include "StreamWriter.h"
#include "TextFormat.h"

#include <QFile>
#include <QImage>

#include <algorithm>
#include <optional>

namespace {

using ull = unsigned long long;

std::unique_ptr<CSegmentBase> MakeSegment(std::uint8_t type)
{
    switch (type) {
    case SegmentPcs: return std::make_unique<CPcs>();
    case SegmentWds: return std::make_unique<CWds>();
    case SegmentPds: return std::make_unique<CPds>();
    case SegmentOds: return std::make_unique<COds>();
    case SegmentEnd: return std::make_unique<CEs>();
    default: return nullptr;
    }
}

// Follows the display sets and object fragments as segments arrive and
// reports the first structural fault.
class CStructureCheck {
public:
    std::string Add(const CSegmentBase& segment, std::uint64_t offset)
    {
        const char* name = SegmentTypeName(segment.Type);
        if (segment.Type == SegmentPcs) {
            if (SetOffset)
                return FormatText("byte %llu: PCS starts a display set before the one at byte %llu "
                                  "ended",
                                  ull(offset), ull(*SetOffset));
            SetOffset = offset;
            HasWds = false;
            return {};
        }
        if (!SetOffset)
            return FormatText("byte %llu: %s outside a display set (no PCS before it)", ull(offset),
                              name);
        switch (segment.Type) {
        case SegmentWds:
            if (HasWds)
                return FormatText("byte %llu: second WDS in the display set at byte %llu",
                                  ull(offset), ull(*SetOffset));
            HasWds = true;
            return {};
        case SegmentOds: {
            std::string fault = AddFragment(static_cast<const COds&>(segment), offset);
            ObjectFault = !fault.empty();
            return fault;
        }
        case SegmentEnd:
            if (ObjectOffset)
                return FormatText("byte %llu: END while object %u that starts at byte %llu is "
                                  "incomplete",
                                  ull(offset), ObjectId, ull(*ObjectOffset));
            SetOffset.reset();
            return {};
        default: return {};
        }
    }

    std::string Finish(std::uint64_t end) const
    {
        if (SetOffset)
            return FormatText("byte %llu: the stream ends inside the display set at byte %llu (no "
                              "END)",
                              ull(end), ull(*SetOffset));
        return {};
    }

private:
    std::string AddFragment(const COds& ods, std::uint64_t offset)
    {
        if (ods.FirstInSequence) {
            if (ObjectOffset)
                return FormatText("byte %llu: object %u starts while object %u that starts at byte "
                                  "%llu is incomplete",
                                  ull(offset), ods.ObjectId, ObjectId, ull(*ObjectOffset));
            ObjectOffset = offset;
            ObjectId = ods.ObjectId;
            ObjectVersion = ods.ObjectVersion;
            Data = ods.Data;
            Declared = GetU24(ods.Data.data());
        } else {
            if (!ObjectOffset)
                return FormatText("byte %llu: ODS fragment of object %u continues no object",
                                  ull(offset), ods.ObjectId);
            if (ods.ObjectId != ObjectId || ods.ObjectVersion != ObjectVersion)
                return FormatText(
                    "byte %llu: ODS fragment of object %u version %u continues object "
                    "%u version %u",
                    ull(offset), ods.ObjectId, ods.ObjectVersion, ObjectId, ObjectVersion);
            Data.insert(Data.end(), ods.Data.begin(), ods.Data.end());
        }
        if (Data.size() - 3 > Declared)
            return FormatText("byte %llu: fragments of object %u hold more than its declared %u "
                              "bytes",
                              ull(offset), ObjectId, Declared);
        if (!ods.LastInSequence)
            return {};
        std::string reason;
        QImage picture;
        if (!DecodeObjectData(Data.data(), Data.size(), picture, reason))
            return FormatText("byte %llu: object %u that starts at byte %llu: %s", ull(offset),
                              ObjectId, ull(*ObjectOffset), reason.c_str());
        ObjectOffset.reset();
        Data.clear();
        return {};
    }

public:
    bool ObjectFault = false;  // the last fault lies in object data

private:
    std::optional<std::uint64_t> SetOffset;
    bool HasWds = false;
    std::optional<std::uint64_t> ObjectOffset;
    std::uint16_t ObjectId = 0;
    std::uint8_t ObjectVersion = 0;
    std::uint32_t Declared = 0;
    std::vector<std::uint8_t> Data;
};

// Reads the segment header and payload at `at`; on success `segment` holds
// the parsed segment and `size` its length in the file.
std::string ReadSegment(const std::uint8_t* data, std::size_t length, std::size_t at,
                        std::unique_ptr<CSegmentBase>& segment, std::size_t& size)
{
    const std::size_t left = length - at;
    if (left < SegmentHeaderSize)
        return FormatText("byte %llu: segment header cut short (%zu of 3 bytes)", ull(at), left);
    const std::uint8_t type = data[at];
    const std::size_t payload = GetU16(data + at + 1);
    segment = MakeSegment(type);
    if (!segment)
        return FormatText("byte %llu: unknown segment type 0x%02X", ull(at), type);
    if (payload > left - SegmentHeaderSize)
        return FormatText("byte %llu: %s length %zu runs past the end of the file (%zu bytes left)",
                          ull(at), SegmentTypeName(type), payload, left - SegmentHeaderSize);
    std::string reason;
    if (!segment->Parse(data + at + SegmentHeaderSize, payload, reason))
        return FormatText("byte %llu: %s: %s", ull(at), SegmentTypeName(type), reason.c_str());
    segment->Size = static_cast<std::uint16_t>(payload);
    size = SegmentHeaderSize + payload;
    return {};
}

QString MuiPathOf(const QString& path)
{
    return path + ".mui";
}

bool ReadWholeFile(const QString& path, QByteArray& bytes, std::string& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = FormatText("cannot open %s: %s", path.toLocal8Bit().constData(),
                           file.errorString().toLocal8Bit().constData());
        return false;
    }
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = FormatText("cannot read %s: %s", path.toLocal8Bit().constData(),
                           file.errorString().toLocal8Bit().constData());
        return false;
    }
    return true;
}

const std::uint8_t* Bytes(const QByteArray& bytes)
{
    return reinterpret_cast<const std::uint8_t*>(bytes.constData());
}

}  // namespace

SStreamContent ReadSupStream(const std::uint8_t* data, std::size_t length)
{
    SStreamContent content;
    content.Bytes = length;
    CStructureCheck structure;
    std::size_t at = 0;
    while (at < length) {
        const std::size_t left = length - at;
        if (left < SupHeaderSize) {
            content.Error =
                FormatText("byte %llu: SUP header cut short (%zu of 10 bytes)", ull(at), left);
            return content;
        }
        if (data[at] != 'P' || data[at + 1] != 'G') {
            content.Error =
                FormatText("byte %llu: wrong magic 0x%02X 0x%02X, a SUP segment starts with \"PG\"",
                           ull(at), data[at], data[at + 1]);
            return content;
        }
        std::unique_ptr<CSegmentBase> segment;
        std::size_t size = 0;
        content.Error = ReadSegment(data, length, at + SupHeaderSize, segment, size);
        if (!content.Ok())
            return content;
        segment->PTS = GetU32(data + at + 2);
        segment->DTS = GetU32(data + at + 6);
        content.Error = structure.Add(*segment, at);
        if (!content.Ok()) {
            content.ObjectFault = structure.ObjectFault;
            content.FaultOffset = at;
            return content;
        }
        content.Segments.push_back({at, std::move(segment)});
        at += SupHeaderSize + size;
    }
    content.Error = structure.Finish(length);
    return content;
}

SStreamContent ReadPesStream(const std::uint8_t* pes, std::size_t pesLength,
                             const std::uint8_t* mui, std::size_t muiLength)
{
    SStreamContent content;
    content.Bytes = pesLength;
    if (muiLength < MuiHeaderSize || !std::equal(MuiHeader.begin(), MuiHeader.end(), mui)) {
        content.Error = "index byte 0: the index does not start with 00 00 00 03";
        return content;
    }
    CStructureCheck structure;
    std::size_t at = 0;
    std::size_t record = MuiHeaderSize;
    while (at < pesLength) {
        std::unique_ptr<CSegmentBase> segment;
        std::size_t size = 0;
        content.Error = ReadSegment(pes, pesLength, at, segment, size);
        if (!content.Ok())
            return content;
        if (muiLength - record < MuiRecordSize) {
            content.Error = FormatText("index byte %llu: the index ends before the record of the "
                                       "segment at byte %llu",
                                       ull(record), ull(at));
            return content;
        }
        const std::uint8_t* r = mui + record;
        if (IsMuiTrailer(r)) {
            content.Error = FormatText("index byte %llu: the index trailer comes before the record "
                                       "of the segment at byte %llu",
                                       ull(record), ull(at));
            return content;
        }
        const SMuiEntry entry = ReadMuiRecord(r);
        if (r[1] != 0 || r[2] != 0 || r[13] != 0) {
            content.Error =
                FormatText("index byte %llu: record has reserved bytes set", ull(record));
            return content;
        }
        if (entry.Type != segment->Type || entry.Length != size) {
            content.Error = FormatText("index byte %llu: record names type 0x%02X of %u bytes, the "
                                       "segment at byte %llu is a %s of %zu bytes",
                                       ull(record), entry.Type, entry.Length, ull(at),
                                       SegmentTypeName(segment->Type), size);
            return content;
        }
        segment->PTS = entry.PTS;
        segment->DTS = entry.DTS;
        content.Error = structure.Add(*segment, at);
        if (!content.Ok()) {
            content.ObjectFault = structure.ObjectFault;
            content.FaultOffset = at;
            return content;
        }
        content.Segments.push_back({at, std::move(segment)});
        at += size;
        record += MuiRecordSize;
    }
    content.Error = structure.Finish(pesLength);
    if (!content.Ok())
        return content;
    if (muiLength - record < MuiRecordSize || !IsMuiTrailer(mui + record)) {
        content.Error = FormatText("index byte %llu: expected the index trailer after the last "
                                   "segment's record",
                                   ull(record));
        return content;
    }
    record += MuiRecordSize;
    if (record != muiLength)
        content.Error = FormatText("index byte %llu: %zu bytes follow the index trailer",
                                   ull(record), muiLength - record);
    return content;
}

SStreamContent ReadStreamFile(const QString& path)
{
    SStreamContent content;
    QByteArray main;
    if (!ReadWholeFile(path, main, content.Error))
        return content;
    if (!path.endsWith(".pes", Qt::CaseInsensitive))
        return ReadSupStream(Bytes(main), static_cast<std::size_t>(main.size()));
    QByteArray index;
    if (!ReadWholeFile(MuiPathOf(path), index, content.Error))
        return content;
    return ReadPesStream(Bytes(main), static_cast<std::size_t>(main.size()), Bytes(index),
                         static_cast<std::size_t>(index.size()));
}

CEpochData TakeDisplaySets(SStreamContent& content)
{
    CEpochData sets;
    for (SReadSegment& read : content.Segments) {
        CSegmentBase& segment = *read.Segment;
        switch (segment.Type) {
        case SegmentPcs:
            sets.emplace_back();
            sets.back().Pcs = std::move(static_cast<CPcs&>(segment));
            sets.back().CompositionState = sets.back().Pcs.CompositionState;
            break;
        case SegmentWds: sets.back().Wds = std::move(static_cast<CWds&>(segment)); break;
        case SegmentPds:
            sets.back().Palettes.push_back(std::move(static_cast<CPds&>(segment)));
            break;
        case SegmentOds:
            sets.back().Objects.push_back(std::move(static_cast<COds&>(segment)));
            break;
        case SegmentEnd: sets.back().End = std::move(static_cast<CEs&>(segment)); break;
        default: break;
        }
    }
    content.Segments.clear();
    return sets;
}

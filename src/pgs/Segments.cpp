#include "Segments.h"

#include "ByteOrder.h"
#include "TextFormat.h"

namespace {

constexpr std::size_t PcsFixedSize = 11;
constexpr std::size_t CompositionObjectSize = 8;
constexpr std::size_t CropSize = 8;
constexpr std::size_t WindowSize = 9;
constexpr std::size_t PaletteEntrySize = 5;
constexpr std::size_t OdsFixedSize = 4;
constexpr std::size_t ObjectHeadSize = 7;  // data length (3), width (2), height (2)

}  // namespace

const char* SegmentTypeName(std::uint8_t type)
{
    switch (type) {
    case SegmentPds: return "PDS";
    case SegmentOds: return "ODS";
    case SegmentPcs: return "PCS";
    case SegmentWds: return "WDS";
    case SegmentEnd: return "END";
    default: return "unknown";
    }
}

bool IsKnownSegmentType(std::uint8_t type)
{
    return type == SegmentPds || type == SegmentOds || type == SegmentPcs || type == SegmentWds ||
           type == SegmentEnd;
}

const char* CompositionStateName(std::uint8_t state)
{
    switch (state) {
    case NormalCase: return "Normal Case";
    case AcquisitionPoint: return "Acquisition Point";
    case EpochStart: return "Epoch Start";
    case EpochContinue: return "Epoch Continue";
    default: return "invalid state";
    }
}

// ---- CSegmentBase ----------------------------------------------------------

std::size_t CSegmentBase::Serialise(std::vector<std::uint8_t>& out)
{
    const std::size_t start = out.size();
    PutU8(out, Type);
    PutU16(out, 0);
    SerialisePayload(out);
    const std::size_t payload = out.size() - start - SegmentHeaderSize;
    if (payload > MaxSegmentPayload) {
        out.resize(start);
        return 0;
    }
    Size = static_cast<std::uint16_t>(payload);
    out[start + 1] = static_cast<std::uint8_t>(payload >> 8);
    out[start + 2] = static_cast<std::uint8_t>(payload);
    return out.size() - start;
}

void CSegmentBase::CopyBase(const CSegmentBase& other)
{
    Type = other.Type;
    Size = other.Size;
    DTS = other.DTS;
    PTS = other.PTS;
}

// ---- CPcs ------------------------------------------------------------------

SCompositionObject* CPcs::AddObject(const SCompositionObject& object)
{
    if (Objects.size() >= MaxCompositionObjects)
        return nullptr;
    Objects.push_back(object);
    return &Objects.back();
}

void CPcs::SerialisePayload(std::vector<std::uint8_t>& out) const
{
    PutU16(out, Video.Width);
    PutU16(out, Video.Height);
    PutU8(out, ((Video.FrameRate & 0x0F) << 4) | (Video.Reserved & 0x0F));
    PutU16(out, CompositionNumber);
    PutU8(out, (CompositionState & 0x03) << 6);
    PutU8(out, PaletteUpdate ? 0x80 : 0x00);
    PutU8(out, PaletteId);
    PutU8(out, static_cast<unsigned>(Objects.size()));
    for (const SCompositionObject& object : Objects) {
        PutU16(out, object.ObjectId);
        PutU8(out, object.WindowId);
        PutU8(out, (object.Cropped ? 0x80 : 0) | (object.Forced ? 0x40 : 0));
        PutU16(out, object.X);
        PutU16(out, object.Y);
        if (object.Cropped) {
            PutU16(out, object.CropX);
            PutU16(out, object.CropY);
            PutU16(out, object.CropWidth);
            PutU16(out, object.CropHeight);
        }
    }
}

bool CPcs::Parse(const std::uint8_t* p, std::size_t length, std::string& error)
{
    Clear();
    if (length < PcsFixedSize) {
        error = FormatText("composition segment of %zu bytes is shorter than 11", length);
        return false;
    }
    Video.Width = GetU16(p);
    Video.Height = GetU16(p + 2);
    Video.FrameRate = p[4] >> 4;
    Video.Reserved = p[4] & 0x0F;
    CompositionNumber = GetU16(p + 5);
    CompositionState = p[7] >> 6;
    PaletteUpdate = (p[8] & 0x80) != 0;
    PaletteId = p[9];
    if (Video.Reserved != 0 || (p[7] & 0x3F) != 0 || (p[8] & 0x7F) != 0) {
        error = "composition segment has reserved bits set";
        return false;
    }
    const unsigned count = p[10];
    if (count > MaxCompositionObjects) {
        error = FormatText("composition segment holds %u objects (at most 2)", count);
        return false;
    }
    std::size_t at = PcsFixedSize;
    for (unsigned i = 0; i < count; ++i) {
        if (length - at < CompositionObjectSize) {
            error = FormatText("composition object %u runs past the segment's end", i);
            return false;
        }
        SCompositionObject object;
        object.ObjectId = GetU16(p + at);
        object.WindowId = p[at + 2];
        const std::uint8_t flags = p[at + 3];
        object.Cropped = (flags & 0x80) != 0;
        object.Forced = (flags & 0x40) != 0;
        object.X = GetU16(p + at + 4);
        object.Y = GetU16(p + at + 6);
        if ((flags & 0x3F) != 0) {
            error = FormatText("composition object %u has reserved flag bits set", i);
            return false;
        }
        at += CompositionObjectSize;
        if (object.Cropped) {
            if (length - at < CropSize) {
                error = FormatText("crop of composition object %u runs past the segment's end", i);
                return false;
            }
            object.CropX = GetU16(p + at);
            object.CropY = GetU16(p + at + 2);
            object.CropWidth = GetU16(p + at + 4);
            object.CropHeight = GetU16(p + at + 6);
            at += CropSize;
        }
        Objects.push_back(object);
    }
    if (at != length) {
        error = FormatText("composition segment has %zu bytes after its objects", length - at);
        return false;
    }
    return true;
}

std::string CPcs::Dump() const
{
    std::string text = FormatText(
        "composition %u, %s, video %ux%u, rate code %u, palette update %s, palette %u, "
        "objects %zu",
        CompositionNumber, CompositionStateName(CompositionState), Video.Width, Video.Height,
        Video.FrameRate, PaletteUpdate ? "yes" : "no", PaletteId, Objects.size());
    for (const SCompositionObject& o : Objects) {
        text += FormatText(" [object %u window %u at %u,%u", o.ObjectId, o.WindowId, o.X, o.Y);
        if (o.Forced)
            text += " forced";
        if (o.Cropped)
            text += FormatText(" crop %u,%u %ux%u", o.CropX, o.CropY, o.CropWidth, o.CropHeight);
        text += "]";
    }
    return text;
}

// ---- CWds ------------------------------------------------------------------

SWindow* CWds::AddWindow(const SWindow& window)
{
    if (Windows.size() >= MaxWindows)
        return nullptr;
    Windows.push_back(window);
    return &Windows.back();
}

const SWindow* CWds::FindWindow(std::uint8_t windowId) const
{
    for (const SWindow& window : Windows) {
        if (window.WindowId == windowId)
            return &window;
    }
    return nullptr;
}

void CWds::SerialisePayload(std::vector<std::uint8_t>& out) const
{
    PutU8(out, static_cast<unsigned>(Windows.size()));
    for (const SWindow& window : Windows) {
        PutU8(out, window.WindowId);
        PutU16(out, window.X);
        PutU16(out, window.Y);
        PutU16(out, window.Width);
        PutU16(out, window.Height);
    }
}

bool CWds::Parse(const std::uint8_t* p, std::size_t length, std::string& error)
{
    Clear();
    if (length < 1) {
        error = "window segment is empty";
        return false;
    }
    const unsigned count = p[0];
    if (count > MaxWindows) {
        error = FormatText("window segment holds %u windows (at most 2)", count);
        return false;
    }
    if (length != 1 + count * WindowSize) {
        error = FormatText("window segment of %zu bytes does not hold %u windows", length, count);
        return false;
    }
    for (unsigned i = 0; i < count; ++i) {
        const std::uint8_t* w = p + 1 + i * WindowSize;
        Windows.push_back({w[0], GetU16(w + 1), GetU16(w + 3), GetU16(w + 5), GetU16(w + 7)});
    }
    return true;
}

std::string CWds::Dump() const
{
    std::string text = FormatText("windows %zu", Windows.size());
    for (const SWindow& w : Windows)
        text +=
            FormatText(" [window %u at %u,%u size %ux%u]", w.WindowId, w.X, w.Y, w.Width, w.Height);
    return text;
}

// ---- CPds ------------------------------------------------------------------

void CPds::SerialisePayload(std::vector<std::uint8_t>& out) const
{
    PutU8(out, PaletteId);
    PutU8(out, PaletteVersion);
    for (const SPaletteEntry& entry : Entries) {
        PutU8(out, entry.EntryId);
        PutU8(out, entry.Y);
        PutU8(out, entry.Cr);
        PutU8(out, entry.Cb);
        PutU8(out, entry.T);
    }
}

bool CPds::Parse(const std::uint8_t* p, std::size_t length, std::string& error)
{
    Clear();
    if (length < 2 || (length - 2) % PaletteEntrySize != 0) {
        error = FormatText("palette segment of %zu bytes is not 2 bytes and whole entries", length);
        return false;
    }
    const std::size_t count = (length - 2) / PaletteEntrySize;
    if (count > MaxPaletteEntries) {
        error = FormatText("palette segment holds %zu entries (at most 256)", count);
        return false;
    }
    PaletteId = p[0];
    PaletteVersion = p[1];
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* e = p + 2 + i * PaletteEntrySize;
        Entries.push_back({e[0], e[1], e[2], e[3], e[4]});
    }
    return true;
}

std::string CPds::Dump() const
{
    return FormatText("palette %u version %u, entries %zu", PaletteId, PaletteVersion,
                      Entries.size());
}

// ---- COds ------------------------------------------------------------------

bool COds::ObjectSize(std::uint16_t& width, std::uint16_t& height) const
{
    if (!FirstInSequence || Data.size() < ObjectHeadSize)
        return false;
    width = GetU16(Data.data() + 3);
    height = GetU16(Data.data() + 5);
    return true;
}

void COds::SerialisePayload(std::vector<std::uint8_t>& out) const
{
    PutU16(out, ObjectId);
    PutU8(out, ObjectVersion);
    PutU8(out, (FirstInSequence ? 0x80 : 0) | (LastInSequence ? 0x40 : 0));
    out.insert(out.end(), Data.begin(), Data.end());
}

bool COds::Parse(const std::uint8_t* p, std::size_t length, std::string& error)
{
    Clear();
    if (length < OdsFixedSize) {
        error = FormatText("object segment of %zu bytes is shorter than 4", length);
        return false;
    }
    ObjectId = GetU16(p);
    ObjectVersion = p[2];
    FirstInSequence = (p[3] & 0x80) != 0;
    LastInSequence = (p[3] & 0x40) != 0;
    if ((p[3] & 0x3F) != 0) {
        error = "object segment has reserved flag bits set";
        return false;
    }
    if (FirstInSequence && length - OdsFixedSize < ObjectHeadSize) {
        error = "first object fragment is too short for the object's length, width and height";
        return false;
    }
    Data.assign(p + OdsFixedSize, p + length);
    return true;
}

std::string COds::Dump() const
{
    const char* flags = FirstInSequence ? (LastInSequence ? "first+last" : "first")
                                        : (LastInSequence ? "last" : "middle");
    std::string text = FormatText("object %u version %u, %s, fragment %zu bytes", ObjectId,
                                  ObjectVersion, flags, Data.size());
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    if (ObjectSize(width, height))
        text += FormatText(", object %ux%u, data %u bytes", width, height, GetU24(Data.data()));
    return text;
}

// ---- CEs -------------------------------------------------------------------

bool CEs::Parse(const std::uint8_t*, std::size_t length, std::string& error)
{
    if (length != 0) {
        error = FormatText("end segment carries %zu payload bytes", length);
        return false;
    }
    return true;
}

std::string CEs::Dump() const
{
    return "end of display set";
}

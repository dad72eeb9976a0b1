#pragma once
// The segments of a presentation graphics stream, as held in memory while a
// display set is composed, and their byte layouts. All multi-byte fields are
// big-endian; time stamps count a 90 kHz clock.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum ESegmentType : std::uint8_t {
    SegmentPds = 0x14,
    SegmentOds = 0x15,
    SegmentPcs = 0x16,
    SegmentWds = 0x17,
    SegmentEnd = 0x80,
};

enum ECompositionState : std::uint8_t {
    NormalCase = 0,
    AcquisitionPoint = 1,
    EpochStart = 2,
    EpochContinue = 3,
};

// "PCS", "WDS", ... or "unknown".
const char* SegmentTypeName(std::uint8_t type);
bool IsKnownSegmentType(std::uint8_t type);
// "Normal Case", "Acquisition Point", "Epoch Start", "Epoch Continue".
const char* CompositionStateName(std::uint8_t state);

// Every segment starts with its type byte and the 16-bit payload length.
constexpr std::size_t SegmentHeaderSize = 3;
constexpr std::size_t MaxSegmentPayload = 0xFFFF;

class CSegmentBase {
public:
    explicit CSegmentBase(std::uint8_t type) : Type(type) {}
    virtual ~CSegmentBase() = default;
    CSegmentBase(const CSegmentBase&) = default;
    CSegmentBase(CSegmentBase&&) = default;
    CSegmentBase& operator=(const CSegmentBase&) = default;
    CSegmentBase& operator=(CSegmentBase&&) = default;

    // Empties the contained array, if any.
    virtual void Clear() {}

    // Reads a whole payload (the bytes after the 3-byte header). Every byte
    // must belong to the segment: a short, long or inconsistent payload, or
    // a reserved bit that is set, is refused with a reason in `error`.
    virtual bool Parse(const std::uint8_t* payload, std::size_t length, std::string& error) = 0;

    // Appends header and payload to `out`, records the payload length in
    // `Size` and returns the number of bytes appended; returns 0 and appends
    // nothing when the payload would not fit the 16-bit length field.
    std::size_t Serialise(std::vector<std::uint8_t>& out);

    // The key fields on one line, for stream dumps.
    virtual std::string Dump() const = 0;

    void CopyBase(const CSegmentBase& other);

    bool operator==(const CSegmentBase&) const = default;

    std::uint8_t Type;
    std::uint16_t Size = 0;
    std::uint32_t DTS = 0;
    std::uint32_t PTS = 0;

protected:
    virtual void SerialisePayload(std::vector<std::uint8_t>& out) const = 0;
};

struct SVideoDescriptor {
    std::uint16_t Width = 0;
    std::uint16_t Height = 0;
    std::uint8_t FrameRate = 0;  // frame-rate code, 4 bits
    std::uint8_t Reserved = 0;   // 4 bits, always 0
    bool operator==(const SVideoDescriptor&) const = default;
};

struct SCompositionObject {
    std::uint16_t ObjectId = 0;
    std::uint8_t WindowId = 0;
    bool Cropped = false;
    bool Forced = false;
    std::uint16_t X = 0;
    std::uint16_t Y = 0;
    std::uint16_t CropX = 0;
    std::uint16_t CropY = 0;
    std::uint16_t CropWidth = 0;
    std::uint16_t CropHeight = 0;
    bool operator==(const SCompositionObject&) const = default;
};

struct SWindow {
    std::uint8_t WindowId = 0;
    std::uint16_t X = 0;
    std::uint16_t Y = 0;
    std::uint16_t Width = 0;
    std::uint16_t Height = 0;
    bool operator==(const SWindow&) const = default;
};

struct SPaletteEntry {
    std::uint8_t EntryId = 0;
    std::uint8_t Y = 0;
    std::uint8_t Cr = 0;
    std::uint8_t Cb = 0;
    std::uint8_t T = 0;  // opacity, 0 transparent to 255 opaque
    bool operator==(const SPaletteEntry&) const = default;
};

// A composition shows at most two objects and a window definition holds at
// most two windows.
constexpr std::size_t MaxCompositionObjects = 2;
constexpr std::size_t MaxWindows = 2;
constexpr std::size_t MaxPaletteEntries = 256;

class CPcs : public CSegmentBase {
public:
    CPcs() : CSegmentBase(SegmentPcs) {}
    void Clear() override { Objects.clear(); }
    bool Parse(const std::uint8_t* payload, std::size_t length, std::string& error) override;
    std::string Dump() const override;
    bool operator==(const CPcs&) const = default;

    // Appends an object; returns nullptr and adds nothing when the
    // composition already holds two.
    SCompositionObject* AddObject(const SCompositionObject& object);

    SVideoDescriptor Video;
    std::uint16_t CompositionNumber = 0;
    std::uint8_t CompositionState = NormalCase;  // 2 bits
    bool PaletteUpdate = false;
    std::uint8_t PaletteId = 0;
    std::vector<SCompositionObject> Objects;

protected:
    void SerialisePayload(std::vector<std::uint8_t>& out) const override;
};

class CWds : public CSegmentBase {
public:
    CWds() : CSegmentBase(SegmentWds) {}
    void Clear() override { Windows.clear(); }
    bool Parse(const std::uint8_t* payload, std::size_t length, std::string& error) override;
    std::string Dump() const override;
    bool operator==(const CWds&) const = default;

    // Appends a window; returns nullptr and adds nothing when two are held.
    SWindow* AddWindow(const SWindow& window);
    // The window with that id, or nullptr.
    const SWindow* FindWindow(std::uint8_t windowId) const;

    std::vector<SWindow> Windows;

protected:
    void SerialisePayload(std::vector<std::uint8_t>& out) const override;
};

class CPds : public CSegmentBase {
public:
    CPds() : CSegmentBase(SegmentPds) {}
    void Clear() override { Entries.clear(); }
    bool Parse(const std::uint8_t* payload, std::size_t length, std::string& error) override;
    std::string Dump() const override;
    bool operator==(const CPds&) const = default;

    std::uint8_t PaletteId = 0;
    std::uint8_t PaletteVersion = 0;
    std::vector<SPaletteEntry> Entries;  // at most 256

protected:
    void SerialisePayload(std::vector<std::uint8_t>& out) const override;
};

class COds : public CSegmentBase {
public:
    COds() : CSegmentBase(SegmentOds) {}
    void Clear() override { Data.clear(); }
    bool Parse(const std::uint8_t* payload, std::size_t length, std::string& error) override;
    std::string Dump() const override;
    bool operator==(const COds&) const = default;

    // Width and height from the object data head, which only the first
    // fragment carries; false for a later fragment or a short one.
    bool ObjectSize(std::uint16_t& width, std::uint16_t& height) const;

    std::uint16_t ObjectId = 0;
    std::uint8_t ObjectVersion = 0;
    bool FirstInSequence = false;
    bool LastInSequence = false;
    std::vector<std::uint8_t> Data;  // this fragment's bytes of the object data

protected:
    void SerialisePayload(std::vector<std::uint8_t>& out) const override;
};

class CEs : public CSegmentBase {
public:
    CEs() : CSegmentBase(SegmentEnd) {}
    bool Parse(const std::uint8_t* payload, std::size_t length, std::string& error) override;
    std::string Dump() const override;
    bool operator==(const CEs&) const = default;

protected:
    void SerialisePayload(std::vector<std::uint8_t>&) const override {}
};

#include "DecoderModel.h"

#include "TextFormat.h"
#include "Timing.h"
#include "VideoFormats.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <optional>

namespace {

using ull = unsigned long long;

struct SRuleInfo {
    const char* Name;
    bool Hard;
};

constexpr SRuleInfo Rules[RuleCount] = {
    {"segment payload", true},
    {"object data", true},
    {"composition objects", true},
    {"windows", true},
    {"placement", true},
    {"object ids", true},
    {"object size", true},
    {"object buffer", true},
    {"coded buffer", true},
    {"palettes", true},
    {"palette range", false},
    {"versions", false},
    {"stale version", true},
    {"composition number", false},
    {"epoch start", true},
    {"PTS and DTS", true},
    {"order", true},
    {"decode time", true},
    {"one decoder", true},
    {"spacing", true},
    {"palette-only update", true},
    {"in use", true},
    {"buffered sets", true},
    {"segment times", false},
};

// A segment with the time stamps the decoder goes by.
struct STimedSegment {
    const CSegmentBase* Segment = nullptr;
    std::uint64_t Offset = 0;
    std::uint32_t Pts = 0;
    std::uint32_t Dts = 0;  // the PTS where the stream gives no DTS
};

// One object as a set defines it: its fragments joined.
struct SObjectDefinition {
    const STimedSegment* First = nullptr;
    std::uint16_t Id = 0;
    std::uint8_t Version = 0;
    std::uint16_t Width = 0;
    std::uint16_t Height = 0;
    std::vector<std::uint8_t> Data;
};

struct SSet {
    const STimedSegment* Pcs = nullptr;
    const STimedSegment* Wds = nullptr;
    std::vector<const STimedSegment*> Palettes;
    std::vector<SObjectDefinition> Objects;
    std::vector<const STimedSegment*> Segments;  // all, in order
};

struct SObjectSlot {
    std::uint16_t Width = 0;  // of the first definition: the slot
    std::uint16_t Height = 0;
    std::uint16_t CurrentWidth = 0;
    std::uint16_t CurrentHeight = 0;
    std::uint8_t Version = 0;
    std::vector<std::uint8_t> Data;
    std::optional<std::uint32_t> LastShown;  // PTS of the last set that showed it
};

struct SPaletteSlot {
    std::uint8_t Version = 0;
    std::vector<SPaletteEntry> Entries;
    std::optional<std::uint32_t> LastShown;
};

struct SEpoch {
    std::optional<std::vector<SWindow>> Windows;
    std::map<std::uint16_t, SObjectSlot> Objects;
    std::map<std::uint8_t, SPaletteSlot> Palettes;
    std::uint64_t SlotBytes = 0;
    bool BufferReported = false;
};

std::uint64_t Area(const SWindow& window)
{
    return std::uint64_t{window.Width} * window.Height;
}

bool Overlap(std::int64_t x1, std::int64_t y1, std::int64_t w1, std::int64_t h1, std::int64_t x2,
             std::int64_t y2, std::int64_t w2, std::int64_t h2)
{
    return x1 < x2 + w2 && x2 < x1 + w1 && y1 < y2 + h2 && y2 < y1 + h1;
}

double Seconds(std::uint32_t ticks)
{
    return ticks / static_cast<double>(TicksPerSecond);
}

class CModel {
public:
    CModel(const SModelOptions& options, SModelReport& report)
        : Slack(options.Resolution), ZeroDtsIsAbsent(options.ZeroDtsIsAbsent), Report(report)
    {
    }

    void Run(const std::vector<SReadSegment>& segments)
    {
        Timed.reserve(segments.size());
        for (const SReadSegment& read : segments) {
            const CSegmentBase& s = *read.Segment;
            Timed.push_back(
                {&s, read.Offset, s.PTS, s.DTS == 0 && ZeroDtsIsAbsent ? s.PTS : s.DTS});
        }
        std::vector<SSet> sets = GatherSets();
        for (const SSet& set : sets) {
            CheckSegments(set);
            CheckSet(set);
        }
        CheckCodedBuffer(sets);
        CountSetsPerSecond(sets);
        if (Epoch)
            Report.Figures.ObjectBufferUse.push_back(Epoch->SlotBytes);
        Report.Figures.DisplaySets = sets.size();
    }

private:
    void Add(ERule rule, const STimedSegment& at, std::uint32_t pts, std::string text)
    {
        ++Report.Counts[static_cast<std::size_t>(rule)];
        Report.Violations.push_back({rule, at.Offset, pts, std::move(text)});
    }

    // a <= b, allowing for the resolution of the time stamps.
    bool NotAfter(std::int64_t a, std::int64_t b) const { return a <= b + Slack; }

    std::vector<SSet> GatherSets()
    {
        std::vector<SSet> sets;
        // The set being gathered is the last one until its END arrives.
        bool open = false;
        for (const STimedSegment& timed : Timed) {
            const CSegmentBase& s = *timed.Segment;
            if (s.Type == SegmentPcs) {
                if (open)
                    sets.pop_back();
                sets.emplace_back();
                sets.back().Pcs = &timed;
                open = true;
            }
            if (!open)
                continue;
            SSet& set = sets.back();
            set.Segments.push_back(&timed);
            switch (s.Type) {
            case SegmentWds: set.Wds = &timed; break;
            case SegmentPds: set.Palettes.push_back(&timed); break;
            case SegmentOds: {
                const auto& ods = static_cast<const COds&>(s);
                if (ods.FirstInSequence || set.Objects.empty()) {
                    SObjectDefinition definition;
                    definition.First = &timed;
                    definition.Id = ods.ObjectId;
                    definition.Version = ods.ObjectVersion;
                    ods.ObjectSize(definition.Width, definition.Height);
                    set.Objects.push_back(std::move(definition));
                }
                SObjectDefinition& definition = set.Objects.back();
                definition.Data.insert(definition.Data.end(), ods.Data.begin(), ods.Data.end());
                break;
            }
            case SegmentEnd: open = false; break;
            default: break;
            }
        }
        // A set cut off by a fault in its object data is left out.
        if (open)
            sets.pop_back();
        return sets;
    }

    void CheckSegments(const SSet& set)
    {
        const STimedSegment& pcs = *set.Pcs;
        for (const STimedSegment* timed : set.Segments) {
            const CSegmentBase& s = *timed->Segment;
            if (s.Size > MaxSegmentPayloadBytes)
                Add(ERule::SegmentPayload, *timed, pcs.Pts,
                    FormatText("%s payload of %u bytes, more than %zu", SegmentTypeName(s.Type),
                               s.Size, MaxSegmentPayloadBytes));
            if (!NotAfter(timed->Dts, timed->Pts) ||
                std::int64_t{timed->Pts} - timed->Dts >= TicksPerSecond)
                Add(ERule::PtsAndDts, *timed, pcs.Pts,
                    FormatText("%s DTS %u and PTS %u: the DTS must come first and less than a "
                               "second before",
                               SegmentTypeName(s.Type), timed->Dts, timed->Pts));
            if (LastDts && !NotAfter(*LastDts, timed->Dts))
                Add(ERule::Order, *timed, pcs.Pts,
                    FormatText("%s DTS %u comes before the DTS %u of the segment before it",
                               SegmentTypeName(s.Type), timed->Dts, *LastDts));
            LastDts = timed->Dts;
            if (timed == set.Pcs)
                continue;
            if (!NotAfter(timed->Pts, pcs.Pts) || !NotAfter(pcs.Dts, timed->Dts))
                Add(ERule::SegmentTimes, *timed, pcs.Pts,
                    FormatText("%s PTS %u, DTS %u outside its composition's PTS %u and DTS %u",
                               SegmentTypeName(s.Type), timed->Pts, timed->Dts, pcs.Pts, pcs.Dts));
            if (s.Type == SegmentPds && std::llabs(std::int64_t{timed->Pts} - timed->Dts) >= Slack)
                Add(ERule::SegmentTimes, *timed, pcs.Pts,
                    FormatText("PDS PTS %u differs from its DTS %u", timed->Pts, timed->Dts));
            if ((s.Type == SegmentOds || s.Type == SegmentWds) && timed->Pts == timed->Dts &&
                Slack <= 1)
                Add(ERule::SegmentTimes, *timed, pcs.Pts,
                    FormatText("%s PTS equals its DTS %u", SegmentTypeName(s.Type), timed->Dts));
        }
    }

    void CheckSet(const SSet& set)
    {
        const STimedSegment& at = *set.Pcs;
        const auto& pcs = static_cast<const CPcs&>(*at.Segment);
        const std::uint32_t pts = at.Pts;

        if (LastPcsPts && !(pts > *LastPcsPts))
            Add(ERule::Order, at, pts,
                FormatText("PCS PTS %u is not after the PTS %u of the set before", pts,
                           *LastPcsPts));
        if (LastNumber && pcs.CompositionNumber != static_cast<std::uint16_t>(*LastNumber + 1))
            Add(ERule::CompositionNumber, at, pts,
                FormatText("composition number %u follows %u", pcs.CompositionNumber, *LastNumber));
        LastNumber = pcs.CompositionNumber;

        StartEpochIfAny(set, pcs);
        SEpoch& epoch = *Epoch;

        CheckWindows(set, pcs, epoch);
        CheckPalettes(set, pcs, epoch);
        CheckObjects(set, epoch);
        CheckComposition(set, pcs, epoch);
        CheckPaletteUpdate(set, pcs);
        CheckTiming(set, pcs, epoch);

        for (const SCompositionObject& object : pcs.Objects) {
            auto found = epoch.Objects.find(object.ObjectId);
            if (found != epoch.Objects.end())
                found->second.LastShown = pts;
        }
        if (!pcs.Objects.empty()) {
            auto found = epoch.Palettes.find(pcs.PaletteId);
            if (found != epoch.Palettes.end())
                found->second.LastShown = pts;
        }
        LastPcsPts = pts;
        EpochLastPts = pts;
    }

    void StartEpochIfAny(const SSet& set, const CPcs& pcs)
    {
        const STimedSegment& at = *set.Pcs;
        if (pcs.CompositionState == EpochStart) {
            if (EpochLastPts && !NotAfter(*EpochLastPts, at.Dts))
                Add(ERule::EpochStart, at, at.Pts,
                    FormatText("Epoch Start decoded from %u, before the previous epoch's last "
                               "PTS %u",
                               at.Dts, *EpochLastPts));
            if (Epoch)
                Report.Figures.ObjectBufferUse.push_back(Epoch->SlotBytes);
            Epoch.emplace();
            ++Report.Figures.Epochs;
            return;
        }
        if (!Epoch) {
            Add(ERule::EpochStart, at, at.Pts,
                FormatText("the stream opens with a %s, not an Epoch Start",
                           CompositionStateName(pcs.CompositionState)));
            Epoch.emplace();
            ++Report.Figures.Epochs;
        }
    }

    void CheckWindows(const SSet& set, const CPcs& pcs, SEpoch& epoch)
    {
        const STimedSegment& at = *set.Pcs;
        if (!set.Wds) {
            if (!pcs.PaletteUpdate)
                Add(ERule::Windows, at, at.Pts,
                    "the set has no WDS and is not a palette-only update");
            return;
        }
        const auto& wds = static_cast<const CWds&>(*set.Wds->Segment);
        const std::vector<SWindow>& windows = wds.Windows;
        if (windows.empty() || windows.size() > MaxWindows)
            Add(ERule::Windows, *set.Wds, at.Pts,
                FormatText("%zu windows; a WDS holds 1 or 2", windows.size()));
        for (std::size_t i = 0; i < windows.size(); ++i) {
            const SWindow& w = windows[i];
            if (w.WindowId > 1)
                Add(ERule::Windows, *set.Wds, at.Pts, FormatText("window id %u", w.WindowId));
            if (std::uint32_t{w.X} + w.Width > pcs.Video.Width ||
                std::uint32_t{w.Y} + w.Height > pcs.Video.Height)
                Add(ERule::Windows, *set.Wds, at.Pts,
                    FormatText("window %u (%u,%u %ux%u) leaves the %ux%u plane", w.WindowId, w.X,
                               w.Y, w.Width, w.Height, pcs.Video.Width, pcs.Video.Height));
            for (std::size_t j = 0; j < i; ++j) {
                const SWindow& v = windows[j];
                if (v.WindowId == w.WindowId)
                    Add(ERule::Windows, *set.Wds, at.Pts,
                        FormatText("window id %u twice", w.WindowId));
                else if (Overlap(w.X, w.Y, w.Width, w.Height, v.X, v.Y, v.Width, v.Height))
                    Add(ERule::Windows, *set.Wds, at.Pts,
                        FormatText("windows %u and %u overlap", v.WindowId, w.WindowId));
            }
        }
        if (!epoch.Windows)
            epoch.Windows = windows;
        else if (*epoch.Windows != windows)
            Add(ERule::Windows, *set.Wds, at.Pts, "the windows change inside the epoch");
    }

    void CheckPalettes(const SSet& set, const CPcs& pcs, SEpoch& epoch)
    {
        const STimedSegment& at = *set.Pcs;
        std::vector<std::uint8_t> seen;
        for (const STimedSegment* timed : set.Palettes) {
            const auto& pds = static_cast<const CPds&>(*timed->Segment);
            if (pds.PaletteId > MaxPaletteId)
                Add(ERule::Palettes, *timed, at.Pts,
                    FormatText("palette id %u; ids run from 0 to 7", pds.PaletteId));
            if (pds.Entries.size() > MaxPaletteEntries)
                Add(ERule::Palettes, *timed, at.Pts,
                    FormatText("%zu palette entries", pds.Entries.size()));
            if (std::find(seen.begin(), seen.end(), pds.PaletteId) != seen.end())
                Add(ERule::Palettes, *timed, at.Pts,
                    FormatText("palette %u defined twice in one set", pds.PaletteId));
            seen.push_back(pds.PaletteId);
            for (const SPaletteEntry& e : pds.Entries) {
                if (e.Y < 16 || e.Y > 235 || e.Cb < 16 || e.Cb > 240 || e.Cr < 16 || e.Cr > 240) {
                    Add(ERule::PaletteRange, *timed, at.Pts,
                        FormatText("entry %u: Y %u, Cb %u, Cr %u outside 16..235 and 16..240",
                                   e.EntryId, e.Y, e.Cb, e.Cr));
                    break;
                }
                if (e.EntryId == 255 && e.T != 0) {
                    Add(ERule::PaletteRange, *timed, at.Pts,
                        FormatText("entry 255 has opacity %u; it is the transparent entry", e.T));
                    break;
                }
            }

            auto found = epoch.Palettes.find(pds.PaletteId);
            if (found == epoch.Palettes.end()) {
                if (pds.PaletteVersion != 0)
                    Add(ERule::Versions, *timed, at.Pts,
                        FormatText("new palette %u starts at version %u", pds.PaletteId,
                                   pds.PaletteVersion));
                if (epoch.Palettes.size() >= MaxPaletteId + 1u)
                    Add(ERule::Palettes, *timed, at.Pts, "more than 8 palettes in the epoch");
                epoch.Palettes[pds.PaletteId] = {pds.PaletteVersion, pds.Entries, std::nullopt};
                continue;
            }
            SPaletteSlot& slot = found->second;
            if (slot.LastShown && !NotAfter(*slot.LastShown, timed->Dts))
                Add(ERule::InUse, *timed, at.Pts,
                    FormatText("palette %u redefined at %u, before the set at PTS %u that shows "
                               "it",
                               pds.PaletteId, timed->Dts, *slot.LastShown));
            if (pds.PaletteVersion == slot.Version) {
                if (pds.Entries != slot.Entries)
                    Add(ERule::StaleVersion, *timed, at.Pts,
                        FormatText("palette %u version %u redefined with other entries",
                                   pds.PaletteId, pds.PaletteVersion));
            } else if (pds.PaletteVersion != static_cast<std::uint8_t>(slot.Version + 1)) {
                Add(ERule::Versions, *timed, at.Pts,
                    FormatText("palette %u goes from version %u to %u", pds.PaletteId, slot.Version,
                               pds.PaletteVersion));
            }
            slot.Version = pds.PaletteVersion;
            slot.Entries = pds.Entries;
        }
        if (epoch.Palettes.find(pcs.PaletteId) == epoch.Palettes.end())
            Add(ERule::Palettes, at, at.Pts,
                FormatText("the composition names palette %u, which is not defined",
                           pcs.PaletteId));
    }

    void CheckObjects(const SSet& set, SEpoch& epoch)
    {
        const std::uint32_t pts = set.Pcs->Pts;
        std::vector<std::uint16_t> seen;
        for (const SObjectDefinition& object : set.Objects) {
            const STimedSegment& at = *object.First;
            if (object.Id > MaxObjectId)
                Add(ERule::ObjectIds, at, pts,
                    FormatText("object id %u; ids run from 0 to 63", object.Id));
            if (std::find(seen.begin(), seen.end(), object.Id) != seen.end())
                Add(ERule::ObjectIds, at, pts,
                    FormatText("object %u defined twice in one set", object.Id));
            seen.push_back(object.Id);
            if (object.Width < SmallestObjectSide || object.Height < SmallestObjectSide ||
                object.Width > LargestObjectSide || object.Height > LargestObjectSide)
                Add(ERule::ObjectSize, at, pts,
                    FormatText("object %u is %ux%u; sides run from 8 to 4096", object.Id,
                               object.Width, object.Height));

            auto found = epoch.Objects.find(object.Id);
            if (found == epoch.Objects.end()) {
                if (object.Version != 0)
                    Add(ERule::Versions, at, pts,
                        FormatText("new object %u starts at version %u", object.Id,
                                   object.Version));
                SObjectSlot slot;
                slot.Width = slot.CurrentWidth = object.Width;
                slot.Height = slot.CurrentHeight = object.Height;
                slot.Version = object.Version;
                slot.Data = object.Data;
                epoch.Objects[object.Id] = std::move(slot);
                epoch.SlotBytes += std::uint64_t{object.Width} * object.Height;
                if (epoch.SlotBytes > ObjectBufferBytes && !epoch.BufferReported) {
                    epoch.BufferReported = true;
                    Add(ERule::ObjectBuffer, at, pts,
                        FormatText("the epoch's objects need %llu bytes, more than the %u of the "
                                   "object buffer",
                                   ull(epoch.SlotBytes), ObjectBufferBytes));
                }
                continue;
            }
            SObjectSlot& slot = found->second;
            if (std::uint64_t{object.Width} * object.Height >
                std::uint64_t{slot.Width} * slot.Height)
                Add(ERule::ObjectSize, at, pts,
                    FormatText("object %u redefined as %ux%u, larger than its first %ux%u",
                               object.Id, object.Width, object.Height, slot.Width, slot.Height));
            if (slot.LastShown && !NotAfter(*slot.LastShown, at.Dts))
                Add(ERule::InUse, at, pts,
                    FormatText("object %u redefined at %u, before the set at PTS %u that shows it",
                               object.Id, at.Dts, *slot.LastShown));
            if (object.Version == slot.Version) {
                if (object.Data != slot.Data)
                    Add(ERule::StaleVersion, at, pts,
                        FormatText("object %u version %u redefined with other data", object.Id,
                                   object.Version));
            } else if (object.Version != static_cast<std::uint8_t>(slot.Version + 1)) {
                Add(ERule::Versions, at, pts,
                    FormatText("object %u goes from version %u to %u", object.Id, slot.Version,
                               object.Version));
            }
            slot.Version = object.Version;
            slot.Data = object.Data;
            slot.CurrentWidth = object.Width;
            slot.CurrentHeight = object.Height;
        }
    }

    void CheckComposition(const SSet& set, const CPcs& pcs, const SEpoch& epoch)
    {
        const STimedSegment& at = *set.Pcs;
        if (pcs.Objects.size() > MaxCompositionObjects)
            Add(ERule::CompositionObjects, at, at.Pts,
                FormatText("%zu composition objects", pcs.Objects.size()));
        struct SPlaced {
            std::int64_t x, y, w, h;
        };
        std::vector<SPlaced> placed;
        for (const SCompositionObject& object : pcs.Objects) {
            auto found = epoch.Objects.find(object.ObjectId);
            if (found == epoch.Objects.end()) {
                Add(ERule::Placement, at, at.Pts,
                    FormatText("the composition shows object %u, which is not defined",
                               object.ObjectId));
                continue;
            }
            std::int64_t w = found->second.CurrentWidth;
            std::int64_t h = found->second.CurrentHeight;
            if (object.Cropped) {
                w = object.CropWidth;
                h = object.CropHeight;
            }
            const SWindow* window = nullptr;
            if (epoch.Windows) {
                for (const SWindow& candidate : *epoch.Windows)
                    window = candidate.WindowId == object.WindowId ? &candidate : window;
            }
            if (!window) {
                Add(ERule::Placement, at, at.Pts,
                    FormatText("object %u is placed in window %u, which is not defined",
                               object.ObjectId, object.WindowId));
            } else if (object.X < window->X || object.Y < window->Y ||
                       object.X + w > window->X + window->Width ||
                       object.Y + h > window->Y + window->Height) {
                Add(ERule::Placement, at, at.Pts,
                    FormatText("object %u at %u,%u (%lldx%lld) leaves window %u (%u,%u %ux%u)",
                               object.ObjectId, object.X, object.Y, static_cast<long long>(w),
                               static_cast<long long>(h), window->WindowId, window->X, window->Y,
                               window->Width, window->Height));
            }
            for (const SPlaced& other : placed) {
                if (Overlap(object.X, object.Y, w, h, other.x, other.y, other.w, other.h))
                    Add(ERule::Placement, at, at.Pts, "the two composition objects overlap");
            }
            placed.push_back({object.X, object.Y, w, h});
        }
    }

    void CheckPaletteUpdate(const SSet& set, const CPcs& pcs)
    {
        if (!pcs.PaletteUpdate)
            return;
        const STimedSegment& at = *set.Pcs;
        bool ids = !set.Palettes.empty();
        for (const STimedSegment* timed : set.Palettes)
            ids = ids && static_cast<const CPds&>(*timed->Segment).PaletteId == pcs.PaletteId;
        if (pcs.CompositionState != NormalCase || set.Wds || pcs.Objects.empty() || !ids)
            Add(ERule::PaletteOnlyUpdate, at, at.Pts,
                "a palette-only update must be a Normal Case without WDS that shows an object and "
                "sends the palette it names");
    }

    std::uint32_t WindowTicksOf(const std::vector<SWindow>* windows, std::uint8_t id) const
    {
        if (!windows)
            return 0;
        for (const SWindow& window : *windows) {
            if (window.WindowId == id)
                return WindowAreaTicks(Area(window));
        }
        return 0;
    }

    // The ticks from the set's DTS until its composition is on the plane:
    // the plane is cleared (or the unused windows) while the objects are
    // decoded one after another, and each window is written once its object
    // is ready.
    std::uint32_t Duration(const SSet& set, const CPcs& pcs, const SEpoch& epoch) const
    {
        std::optional<std::vector<SWindow>> own;
        if (set.Wds)
            own = static_cast<const CWds&>(*set.Wds->Segment).Windows;
        const std::vector<SWindow>* windows =
            own ? &*own : (epoch.Windows ? &*epoch.Windows : nullptr);

        std::uint64_t t = 0;
        if (pcs.CompositionState == EpochStart) {
            t = WindowAreaTicks(std::uint64_t{pcs.Video.Width} * pcs.Video.Height);
        } else if (windows) {
            for (const SWindow& window : *windows) {
                bool used = false;
                for (const SCompositionObject& object : pcs.Objects)
                    used = used || object.WindowId == window.WindowId;
                if (!used)
                    t += WindowAreaTicks(Area(window));
            }
        }
        auto ready = [&](std::uint16_t id) {
            std::uint64_t done = 0;
            for (const SObjectDefinition& object : set.Objects) {
                done += ObjectDecodeTicks(std::uint64_t{object.Width} * object.Height);
                if (object.Id == id)
                    return done;
            }
            return std::uint64_t{0};
        };
        const std::vector<SCompositionObject>& shown = pcs.Objects;
        if (shown.size() >= 2) {
            t = std::max(t, ready(shown[0].ObjectId));
            if (shown[0].WindowId != shown[1].WindowId)
                t += WindowTicksOf(windows, shown[0].WindowId);
            t = std::max(t, ready(shown[1].ObjectId));
            t += WindowTicksOf(windows, shown[1].WindowId);
        } else if (shown.size() == 1) {
            t = std::max(t, ready(shown[0].ObjectId)) + WindowTicksOf(windows, shown[0].WindowId);
        }
        return static_cast<std::uint32_t>(std::min<std::uint64_t>(t, 0xFFFFFFFFu));
    }

    void CheckTiming(const SSet& set, const CPcs& pcs, const SEpoch& epoch)
    {
        const STimedSegment& at = *set.Pcs;
        const std::uint32_t duration = Duration(set, pcs, epoch);
        const std::int64_t margin = std::int64_t{at.Pts} - at.Dts - duration;
        if (margin < -static_cast<std::int64_t>(Slack))
            Add(ERule::DecodeTime, at, at.Pts,
                FormatText("the set needs %u ticks from its DTS %u, %lld more than its PTS leaves",
                           duration, at.Dts, static_cast<long long>(-margin)));
        SModelFigures& figures = Report.Figures;
        if (!figures.HasDecodeMargin || margin < figures.SmallestDecodeMargin)
            figures.SmallestDecodeMargin = margin;
        figures.HasDecodeMargin = true;

        if (PreviousDecodeEnd && !NotAfter(*PreviousDecodeEnd, at.Dts))
            Add(ERule::OneDecoder, at, at.Pts,
                FormatText("decoding starts at %u while the set before is decoded until %llu",
                           at.Dts, ull(*PreviousDecodeEnd)));
        PreviousDecodeEnd = std::uint64_t{at.Dts} + duration;

        if (LastPcsPts) {
            const std::int64_t gap = std::int64_t{at.Pts} - *LastPcsPts;
            if (set.Wds) {
                std::uint64_t pixels = 0;
                for (const SWindow& window : static_cast<const CWds&>(*set.Wds->Segment).Windows)
                    pixels += Area(window);
                const std::uint32_t needed = WindowAreaTicks(pixels);
                if (gap + Slack <= needed)
                    Add(ERule::Spacing, at, at.Pts,
                        FormatText("%lld ticks after the set before; its windows need more than %u",
                                   static_cast<long long>(gap), needed));
            } else {
                const std::uint32_t frame = FrameToTicks(1, NominalRateOfCode(pcs.Video.FrameRate));
                if (gap + Slack < frame)
                    Add(ERule::Spacing, at, at.Pts,
                        FormatText("%lld ticks after the set before, less than a frame (%u)",
                                   static_cast<long long>(gap), frame));
            }
        }

        while (!Pending.empty() && Pending.front() <= at.Dts)
            Pending.pop_front();
        if (Pending.size() >= MaxBufferedSets)
            Add(ERule::BufferedSets, at, at.Pts,
                FormatText("%zu sets are decoded and wait to be shown when this one starts",
                           Pending.size()));
        Pending.push_back(at.Pts);
        std::sort(Pending.begin(), Pending.end());
    }

    // The coded-data buffer as a leaky bucket: each segment arrives at the
    // buffer's rate as late as it can and leaves at its DTS; the fill is
    // looked at just before each removal.
    void CheckCodedBuffer(const std::vector<SSet>& sets)
    {
        struct SArrival {
            const STimedSegment* Segment;
            double Size, Start, End;
        };
        std::vector<SArrival> arrivals;
        for (const SSet& set : sets) {
            for (const STimedSegment* timed : set.Segments) {
                const double size = timed->Segment->Size + double{SegmentTransportHeader};
                arrivals.push_back({timed, size, 0, 0});
            }
        }
        const double ticksPerByte = double{TicksPerSecond} / CodedBufferRate;
        double next = INFINITY;
        for (std::size_t i = arrivals.size(); i-- > 0;) {
            SArrival& a = arrivals[i];
            a.End = std::min<double>(a.Segment->Dts, next);
            a.Start = a.End - a.Size * ticksPerByte;
            next = a.Start;
        }
        std::size_t firstHeld = 0;
        bool over = false;
        for (std::size_t i = 0; i < arrivals.size(); ++i) {
            const double removal = arrivals[i].Segment->Dts;
            while (firstHeld < i && arrivals[firstHeld].Segment->Dts < removal)
                ++firstHeld;
            double fill = 0;
            for (std::size_t k = firstHeld; k < arrivals.size() && arrivals[k].Start < removal;
                 ++k) {
                const SArrival& a = arrivals[k];
                const double length = a.End - a.Start;
                const double share =
                    length > 0 ? std::clamp((removal - a.Start) / length, 0.0, 1.0) : 1.0;
                fill += a.Size * share;
            }
            const auto bytes = static_cast<std::uint64_t>(std::ceil(fill));
            Report.Figures.PeakCodedBuffer = std::max(Report.Figures.PeakCodedBuffer, bytes);
            const bool nowOver = bytes > CodedBufferBytes;
            if (nowOver && !over)
                Add(ERule::CodedBuffer, *arrivals[i].Segment, arrivals[i].Segment->Pts,
                    FormatText("the coded-data buffer holds %llu bytes, more than %u", ull(bytes),
                               CodedBufferBytes));
            over = nowOver;
        }

        // The busiest second of the stream, by decoding time.
        std::size_t from = 0;
        std::uint64_t bytes = 0;
        for (const SArrival& a : arrivals) {
            bytes += static_cast<std::uint64_t>(a.Size);
            while (arrivals[from].Segment->Dts + std::uint64_t{TicksPerSecond} <= a.Segment->Dts) {
                bytes -= static_cast<std::uint64_t>(arrivals[from].Size);
                ++from;
            }
            Report.Figures.HighestBytesInOneSecond =
                std::max(Report.Figures.HighestBytesInOneSecond, bytes);
        }
    }

    void CountSetsPerSecond(const std::vector<SSet>& sets)
    {
        std::size_t from = 0;
        for (std::size_t i = 0; i < sets.size(); ++i) {
            while (std::uint64_t{sets[from].Pcs->Pts} + TicksPerSecond <= sets[i].Pcs->Pts)
                ++from;
            Report.Figures.MostSetsInOneSecond =
                std::max(Report.Figures.MostSetsInOneSecond, i - from + 1);
        }
    }

    std::uint32_t Slack;
    bool ZeroDtsIsAbsent;
    SModelReport& Report;
    std::vector<STimedSegment> Timed;
    std::optional<std::uint32_t> LastDts;
    std::optional<std::uint32_t> LastPcsPts;
    std::optional<std::uint16_t> LastNumber;
    std::optional<std::uint32_t> EpochLastPts;
    std::optional<std::uint64_t> PreviousDecodeEnd;
    std::optional<SEpoch> Epoch;
    std::deque<std::uint32_t> Pending;  // PTS of sets decoded or decoding, not yet shown
};

}  // namespace

const char* RuleName(ERule rule)
{
    const auto index = static_cast<std::size_t>(rule);
    return index < RuleCount ? Rules[index].Name : "unknown";
}

bool IsHardRule(ERule rule)
{
    const auto index = static_cast<std::size_t>(rule);
    return index < RuleCount && Rules[index].Hard;
}

bool SModelReport::Passes(bool strict) const
{
    for (std::size_t i = 0; i < RuleCount; ++i) {
        if (Counts[i] != 0 && (strict || IsHardRule(static_cast<ERule>(i))))
            return false;
    }
    return true;
}

SModelReport CheckDecoderModel(const std::vector<SReadSegment>& segments,
                               const SModelOptions& options)
{
    SModelReport report;
    CModel(options, report).Run(segments);
    std::stable_sort(report.Violations.begin(), report.Violations.end(),
                     [](const SViolation& a, const SViolation& b) { return a.Rule < b.Rule; });
    return report;
}

bool CheckStreamFile(const QString& path, SModelReport& report, std::string& error)
{
    SStreamContent content = ReadStreamFile(path);
    if (!content.Ok() && !content.ObjectFault) {
        error = content.Error;
        return false;
    }
    SModelOptions options;
    if (path.endsWith(".pes", Qt::CaseInsensitive)) {
        options.Resolution = 4;
        options.ZeroDtsIsAbsent = false;
    }
    report = CheckDecoderModel(content.Segments, options);
    if (!content.Ok()) {
        ++report.Counts[static_cast<std::size_t>(ERule::ObjectData)];
        SViolation violation{ERule::ObjectData, content.FaultOffset, 0, content.Error};
        const auto at =
            std::find_if(report.Violations.begin(), report.Violations.end(),
                         [](const SViolation& v) { return v.Rule > ERule::ObjectData; });
        report.Violations.insert(at, std::move(violation));
    }
    return true;
}

std::string FormatModelReport(const SModelReport& report, std::size_t perRule)
{
    std::string text;
    std::array<std::size_t, RuleCount> shown{};
    for (const SViolation& v : report.Violations) {
        const auto rule = static_cast<std::size_t>(v.Rule);
        if (shown[rule]++ >= perRule)
            continue;
        text += FormatText("byte %llu, %.6f s: %s: %s\n", ull(v.Offset), Seconds(v.Pts),
                           RuleName(v.Rule), v.Text.c_str());
        if (shown[rule] == perRule && report.Counts[rule] > perRule)
            text += FormatText("... and %zu more %s violations\n", report.Counts[rule] - perRule,
                               RuleName(v.Rule));
    }
    if (!report.Violations.empty())
        text += '\n';

    text += FormatText("%-21s %-10s %s\n", "rule", "kind", "violations");
    for (std::size_t i = 0; i < RuleCount; ++i) {
        const auto rule = static_cast<ERule>(i);
        text += FormatText("%-21s %-10s %zu\n", RuleName(rule),
                           IsHardRule(rule) ? "hard" : "authoring", report.Counts[i]);
    }
    const SModelFigures& f = report.Figures;
    const std::uint64_t objectPeak =
        f.ObjectBufferUse.empty()
            ? 0
            : *std::max_element(f.ObjectBufferUse.begin(), f.ObjectBufferUse.end());
    text += '\n';
    text += FormatText("display sets: %zu in %zu epochs\n", f.DisplaySets, f.Epochs);
    text += FormatText("peak coded-buffer fill: %llu bytes (of %u)\n", ull(f.PeakCodedBuffer),
                       CodedBufferBytes);
    text += FormatText("peak object-buffer use per epoch: %llu bytes (of %u)\n", ull(objectPeak),
                       ObjectBufferBytes);
    if (f.HasDecodeMargin)
        text += FormatText("smallest decode-time margin: %.3f ms\n",
                           f.SmallestDecodeMargin * 1000.0 / TicksPerSecond);
    text += FormatText("most display sets in one second: %zu\n", f.MostSetsInOneSecond);
    text += FormatText("highest bitrate over one second: %llu bits/s\n",
                       ull(f.HighestBytesInOneSecond * 8));
    return text;
}

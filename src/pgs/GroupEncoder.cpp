#include "GroupEncoder.h"

#include "DisplayStates.h"
#include "ObjectCoding.h"
#include "PaletteEntries.h"
#include "StreamWriter.h"
#include "Timing.h"
#include "VideoFormats.h"

#include <algorithm>

namespace {

// What a decoder holds for one epoch: 64 object ids and 4 MiB of object
// slots.
constexpr std::size_t EpochObjectIds = 64;
constexpr std::uint64_t EpochObjectBytes = 4 * 1024 * 1024;
// Objects are at least this many pixels wide and high.
constexpr int SmallestObjectSide = 8;

SWindow WindowOf(const SRect& rect, std::uint8_t id)
{
    SWindow window;
    window.WindowId = id;
    window.X = static_cast<std::uint16_t>(rect.left);
    window.Y = static_cast<std::uint16_t>(rect.top);
    window.Width = static_cast<std::uint16_t>(rect.right - rect.left);
    window.Height = static_cast<std::uint16_t>(rect.bottom - rect.top);
    return window;
}

SWindow WindowOf(const SWindowLane& lane)
{
    return WindowOf(lane.rect, static_cast<std::uint8_t>(lane.windowId));
}

void Unite(SRect& into, const SRect& rect, bool& any)
{
    if (!any) {
        into = rect;
        any = true;
        return;
    }
    into.left = std::min(into.left, rect.left);
    into.top = std::min(into.top, rect.top);
    into.right = std::max(into.right, rect.right);
    into.bottom = std::max(into.bottom, rect.bottom);
}

bool Overlaps(const SRect& a, const SRect& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// Gives every lane with events a window over the union of its pictures.
// Returns the number of windows.
int AssignWindows(SGroupContext& group)
{
    int windows = 0;
    for (SWindowLane& lane : group.lanes) {
        lane.windowId = -1;
        if (lane.events.empty())
            continue;
        lane.windowId = windows++;
        bool any = false;
        for (const SDisplayEvent& event : lane.events)
            Unite(lane.rect, event.rect, any);
    }
    return windows;
}

// A stream can only place what lies on the frame: positions and sizes are
// 16-bit and the decoder clips nothing.
bool InsideFrame(const SGroupContext& group)
{
    for (const SWindowLane& lane : group.lanes) {
        for (const SDisplayEvent& event : lane.events) {
            if (event.rect.left < 0 || event.rect.top < 0 || event.rect.right > group.frameWidth ||
                event.rect.bottom > group.frameHeight)
                return false;
        }
    }
    return true;
}

// Decoders take no object narrower or lower than 8 pixels: such a picture
// grows with transparent pixels, to the right and down where the frame
// leaves room, else to the left and up.
void PadSmallPicture(QImage& indexed, SRect& rect, std::uint8_t transparent,
                     const SGroupContext& group)
{
    const int width = std::max(indexed.width(), SmallestObjectSide);
    const int height = std::max(indexed.height(), SmallestObjectSide);
    if (width == indexed.width() && height == indexed.height())
        return;
    QImage padded(width, height, QImage::Format_Indexed8);
    padded.setColorTable(indexed.colorTable());
    padded.fill(transparent);
    const int dx = rect.left + width > group.frameWidth ? width - indexed.width() : 0;
    const int dy = rect.top + height > group.frameHeight ? height - indexed.height() : 0;
    for (int y = 0; y < indexed.height(); ++y)
        std::copy_n(indexed.constScanLine(y), indexed.width(), padded.scanLine(y + dy) + dx);
    rect.left -= dx;
    rect.top -= dy;
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;
    indexed = std::move(padded);
}

void StartSet(CDsData& set, std::uint8_t state, std::uint16_t& counter, const SGroupContext& group)
{
    set.CompositionState = state;
    set.Pcs.CompositionState = state;
    set.Pcs.Video.Width = static_cast<std::uint16_t>(group.frameWidth);
    set.Pcs.Video.Height = static_cast<std::uint16_t>(group.frameHeight);
    set.Pcs.Video.FrameRate = static_cast<std::uint8_t>(group.frameRateCode);
    set.Pcs.CompositionNumber = counter++;
    set.Pcs.PaletteId = 0;
}

void AddPalette(CDsData& set, const SQuantised& quantised, std::uint8_t version,
                EColourMatrix matrix)
{
    CPds pds;
    FillPds(pds, MakeErgbPalette(quantised), matrix);
    pds.PaletteVersion = version;
    set.Palettes.push_back(std::move(pds));
}

// A first stamping of a set at its own time; the epoch's sets are then
// timed together (TimeSets).
void StampTimes(CDsData& set, std::uint32_t presentation, const CWds* windows = nullptr,
                const COdsArray* objects = nullptr)
{
    SetDisplaySetTimes(set, presentation,
                       DecodeStart(presentation, DecodeDuration(set, windows, objects)));
}

// The time a set asks for and what it tells about the lines, until the
// whole epoch is timed.
struct SSetPlan {
    std::uint32_t presentation = 0;  // ticks the lines ask for
    std::int32_t timedLike = -1;     // a set whose windows and objects time this one
    std::array<std::int32_t, 2> line{-1, -1};
    bool ending = false;
};

// Stamps the sets in order. Each is decoded only after the set before it is
// on screen (its objects and palette are sent again while that set shows
// them), its window segment is stamped after its decoding starts, and no
// decoding starts at 0, which a stream reads as "no decoding time". A set
// whose time leaves too little for that comes later by the missing ticks,
// and the change is recorded.
void TimeSets(CEpochData& epoch, std::size_t first, const std::vector<SSetPlan>& plans,
              SGroupContext& group, double rate)
{
    const std::uint32_t frame = FrameToTicks(1, rate);
    for (std::size_t k = first; k < epoch.size(); ++k) {
        CDsData& set = epoch[k];
        const SSetPlan& plan = plans[k - first];
        const CDsData* like = plan.timedLike >= 0
                                  ? &epoch[first + static_cast<std::size_t>(plan.timedLike)]
                                  : nullptr;
        std::uint32_t duration =
            like ? DecodeDuration(set, like->Wds ? &*like->Wds : nullptr, &like->Objects)
                 : DecodeDuration(set);
        if (set.Wds) {
            std::uint64_t pixels = 0;
            for (const SWindow& window : set.Wds->Windows)
                pixels += std::uint64_t{window.Width} * window.Height;
            duration = std::max(duration, WindowAreaTicks(pixels) + 1);
        }
        std::uint64_t presentation = std::max<std::uint64_t>(plan.presentation, duration + 1);
        if (group.lastPts) {
            presentation =
                std::max<std::uint64_t>(presentation, *group.lastPts + std::uint64_t{duration});
            if (!set.Wds)
                presentation =
                    std::max<std::uint64_t>(presentation, *group.lastPts + std::uint64_t{frame});
        }
        const auto given =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(presentation, 0xFFFFFFFFu));
        if (given != plan.presentation) {
            SAdjustment adjustment;
            adjustment.kind = EAdjustment::Later;
            adjustment.line = plan.line;
            adjustment.ending = plan.ending;
            adjustment.wanted = plan.presentation;
            adjustment.given = given;
            group.adjustments.push_back(adjustment);
        }
        SetDisplaySetTimes(set, given, given - duration);
        group.lastPts = given;
    }
}

bool HasFades(const SGroupContext& group, const std::vector<SDisplayState>& states, int windows)
{
    if (windows != 1)
        return false;
    for (const SDisplayState& state : states) {
        for (std::size_t i = 0; i < group.lanes.size(); ++i) {
            const std::int32_t index = state.eventIndex[i];
            if (index < 0)
                continue;
            const SFadeSettings* fade =
                group.lanes[i].events[static_cast<std::size_t>(index)].fadeSettings;
            if (fade && fade->fadeMode == 1)
                return true;
        }
    }
    return false;
}

// One picture a state shows: a line's, or the two lines' of a state where
// they overlap, drawn into one.
struct SShownPicture {
    std::int64_t key = 0;  // the same picture has the same key throughout the group
    std::size_t lane = 0;  // whose window it goes in
    const QImage* picture = nullptr;
    SRect rect;
};

struct SStateView {
    std::vector<SShownPicture> shown;  // lane 0 first
    std::array<std::int32_t, 2> line{-1, -1};
    bool merged = false;
};

std::int64_t EventKey(std::size_t lane, std::size_t event)
{
    return static_cast<std::int64_t>(lane) << 32 | static_cast<std::int64_t>(event);
}

// Two overlapping pictures in one: the top/left line's pixels over the
// bottom/right line's, on their common palette.
QImage MergePictures(const QImage& under, const SRect& underRect, const QImage& over,
                     const SRect& overRect, const SRect& united, std::uint8_t transparent)
{
    QImage merged(united.right - united.left, united.bottom - united.top, QImage::Format_Indexed8);
    merged.setColorTable(over.colorTable());
    merged.fill(transparent);
    auto draw = [&](const QImage& picture, const SRect& rect, bool skipTransparent) {
        for (int y = 0; y < picture.height(); ++y) {
            const std::uint8_t* from = picture.constScanLine(y);
            std::uint8_t* to =
                merged.scanLine(y + rect.top - united.top) + (rect.left - united.left);
            for (int x = 0; x < picture.width(); ++x) {
                if (!skipTransparent || from[x] != transparent)
                    to[x] = from[x];
            }
        }
    };
    draw(under, underRect, false);
    draw(over, overRect, true);
    return merged;
}

// The object id and version each shown picture is sent with, and the
// states that open a new epoch.
struct SSentObject {
    std::uint16_t id = 0;
    std::uint8_t version = 0;
};

struct SObjectPlan {
    std::vector<std::size_t> starts{0};
    std::vector<std::vector<SSentObject>> sent;  // per state, per shown picture
};

// A picture keeps its object id while it shows. A new picture takes the id
// of one no longer on screen (shown neither now nor in the set before, which
// is on screen when this one is decoded) whose slot holds it, else a new id;
// when the epoch's 64 ids or its 4 MiB of slots would not hold it, a new
// epoch starts with that state.
SObjectPlan PlanObjects(const std::vector<SStateView>& views)
{
    struct SSlot {
        std::int64_t key = 0;
        int width = 0;  // of the first picture: the slot
        int height = 0;
        std::uint8_t next = 0;
    };
    SObjectPlan plan;
    plan.sent.resize(views.size());
    std::vector<SSlot> held;
    std::uint64_t bytes = 0;
    auto shows = [&](std::size_t k, std::int64_t key) {
        return std::any_of(views[k].shown.begin(), views[k].shown.end(),
                           [key](const SShownPicture& p) { return p.key == key; });
    };
    for (std::size_t k = 0; k < views.size(); ++k) {
        for (int attempt = 0; attempt < 2; ++attempt) {
            const bool fresh = held.empty();
            std::vector<SSlot> trial = held;
            std::uint64_t trialBytes = bytes;
            std::vector<SSentObject> sent;
            bool fits = true;
            for (const SShownPicture& picture : views[k].shown) {
                const int width = picture.picture->width();
                const int height = picture.picture->height();
                std::size_t id = trial.size();
                for (std::size_t s = 0; s < trial.size() && id == trial.size(); ++s)
                    id = trial[s].key == picture.key ? s : id;
                if (id == trial.size()) {
                    std::uint64_t best = 0;
                    for (std::size_t s = 0; s < trial.size(); ++s) {
                        const SSlot& slot = trial[s];
                        const std::uint64_t area = std::uint64_t(slot.width) * slot.height;
                        if (slot.width < width || slot.height < height || shows(k, slot.key) ||
                            (k > 0 && !fresh && shows(k - 1, slot.key)) ||
                            (id != trial.size() && area >= best))
                            continue;
                        id = s;
                        best = area;
                    }
                }
                if (id == trial.size()) {
                    const std::uint64_t more = std::uint64_t(width) * height;
                    if (trial.size() >= EpochObjectIds || trialBytes + more > EpochObjectBytes) {
                        fits = false;
                        break;
                    }
                    trial.push_back({picture.key, width, height, 0});
                    trialBytes += more;
                }
                trial[id].key = picture.key;
                sent.push_back({static_cast<std::uint16_t>(id), trial[id].next++});
            }
            // A fresh epoch holds any one state.
            if (fits || fresh) {
                held = std::move(trial);
                bytes = trialBytes;
                plan.sent[k] = std::move(sent);
                break;
            }
            plan.starts.push_back(k);
            held.clear();
            bytes = 0;
        }
    }
    return plan;
}

// Encodes one set per state and the clearing set. Stops at an object that
// cannot be coded, leaving the sets made so far.
void EncodePlain(CEpochData& epoch, SGroupContext& group, const std::vector<SDisplayState>& states,
                 const std::vector<std::vector<QImage>>& indexed, const SQuantised& palette,
                 std::uint16_t& counter, double rate)
{
    // What each state shows; overlapping pictures of both lanes become one.
    std::vector<QImage> mergedPictures;
    mergedPictures.reserve(states.size());
    std::vector<SStateView> views(states.size());
    for (std::size_t k = 0; k < states.size(); ++k) {
        SStateView& view = views[k];
        for (std::size_t i = 0; i < group.lanes.size(); ++i) {
            const std::int32_t index = states[k].eventIndex[i];
            if (index < 0)
                continue;
            const auto e = static_cast<std::size_t>(index);
            const SDisplayEvent& event = group.lanes[i].events[e];
            view.line[i] = event.line;
            view.shown.push_back({EventKey(i, e), i, &indexed[i][e], event.rect});
        }
        if (view.shown.size() == 2 && Overlaps(view.shown[0].rect, view.shown[1].rect)) {
            SRect united;
            bool any = false;
            Unite(united, view.shown[0].rect, any);
            Unite(united, view.shown[1].rect, any);
            mergedPictures.push_back(MergePictures(*view.shown[1].picture, view.shown[1].rect,
                                                   *view.shown[0].picture, view.shown[0].rect,
                                                   united, palette.transparentIndex));
            const std::int64_t key = std::int64_t{-1} - static_cast<std::int64_t>(k);
            view.shown = {{key, 0, &mergedPictures.back(), united}};
            view.merged = true;
            SAdjustment adjustment;
            adjustment.kind = EAdjustment::Merged;
            adjustment.line = view.line;
            adjustment.wanted = adjustment.given = FrameToTicks(states[k].startFrame, rate);
            group.adjustments.push_back(adjustment);
        }
    }

    const std::size_t first = epoch.size();
    std::vector<SSetPlan> plans;
    const SObjectPlan objects = PlanObjects(views);
    const std::vector<std::size_t>& starts = objects.starts;
    std::vector<SWindow> windows;
    for (std::size_t s = 0; s < starts.size(); ++s) {
        const std::size_t from = starts[s];
        const std::size_t to = s + 1 < starts.size() ? starts[s + 1] : views.size();

        // The epoch's windows: one per lane over its pictures, or one over
        // everything where the lanes' pictures meet.
        std::array<SRect, 2> laneRects;
        std::array<bool, 2> used{false, false};
        SRect all;
        bool any = false;
        bool single = false;
        for (std::size_t k = from; k < to; ++k) {
            for (const SShownPicture& picture : views[k].shown) {
                Unite(laneRects[picture.lane], picture.rect, used[picture.lane]);
                Unite(all, picture.rect, any);
            }
            single = single || views[k].merged;
        }
        single = single || (used[0] && used[1] && Overlaps(laneRects[0], laneRects[1]));
        std::array<std::uint8_t, 2> windowOf{0, 0};
        windows.clear();
        if (single) {
            windows.push_back(WindowOf(all, 0));
        } else {
            for (std::size_t i = 0; i < 2; ++i) {
                if (!used[i])
                    continue;
                windowOf[i] = static_cast<std::uint8_t>(windows.size());
                windows.push_back(WindowOf(laneRects[i], windowOf[i]));
            }
        }

        for (std::size_t k = from; k < to; ++k) {
            const SStateView& view = views[k];
            epoch.emplace_back();
            CDsData& set = epoch.back();
            const std::uint8_t composition =
                k == from ? EpochStart : (windows.size() == 2 ? NormalCase : AcquisitionPoint);
            StartSet(set, composition, counter, group);
            set.Wds.emplace();
            for (const SWindow& window : windows)
                set.Wds->AddWindow(window);

            SSetPlan plan;
            plan.presentation = FrameToTicks(states[k].startFrame, rate);
            // Name the lines that appear with this state, or all it shows.
            for (std::size_t i = 0; i < 2; ++i) {
                const std::int32_t index = states[k].eventIndex[i];
                const bool appears = index >= 0 && (k == 0 || states[k - 1].eventIndex[i] != index);
                plan.line[i] = appears ? view.line[i] : -1;
            }
            if (plan.line[0] < 0 && plan.line[1] < 0)
                plan.line = view.line;

            bool failed = false;
            for (std::size_t j = 0; j < view.shown.size(); ++j) {
                const SShownPicture& picture = view.shown[j];
                SCompositionObject object;
                object.ObjectId = objects.sent[k][j].id;
                object.WindowId = single ? 0 : windowOf[picture.lane];
                object.Forced = group.forced != 0;
                object.X = static_cast<std::uint16_t>(picture.rect.left);
                object.Y = static_cast<std::uint16_t>(picture.rect.top);
                set.Pcs.AddObject(object);
            }
            for (std::size_t j = 0; j < view.shown.size(); ++j) {
                const SSentObject& sent = objects.sent[k][j];
                if (!AddObjectSegments(set, *view.shown[j].picture, sent.id, sent.version)) {
                    failed = true;
                    break;
                }
            }
            if (!failed) {
                AddPalette(set, palette, 0, group.colourMatrix);
                set.End.emplace();
            }
            plans.push_back(plan);
            if (failed) {
                // The unfinished set goes out only if it still passes the
                // check, but never with unset time stamps.
                TimeSets(epoch, first, plans, group, rate);
                return;
            }
        }
    }

    epoch.emplace_back();
    CDsData& clearing = epoch.back();
    StartSet(clearing, NormalCase, counter, group);
    clearing.Wds.emplace();
    for (const SWindow& window : windows)
        clearing.Wds->AddWindow(window);
    clearing.End.emplace();
    SSetPlan plan;
    plan.presentation = FrameToTicks(states.back().endFrame, rate);
    plan.line = views.back().line;
    plan.ending = true;
    plans.push_back(plan);
    TimeSets(epoch, first, plans, group, rate);
}

void EncodeFades(CEpochData& epoch, SGroupContext& group, const std::vector<SDisplayState>& states,
                 const std::vector<std::vector<QImage>>& indexed, const SQuantised& palette,
                 std::uint16_t& counter, double rate)
{
    for (std::size_t k = 0; k < states.size(); ++k) {
        const SDisplayState& state = states[k];
        const std::size_t lane = state.eventIndex[0] >= 0 ? 0 : 1;
        const auto e = static_cast<std::size_t>(state.eventIndex[lane]);
        const SDisplayEvent& event = group.lanes[lane].events[e];

        const std::int32_t duration = static_cast<std::int32_t>(state.endFrame - state.startFrame);
        SFadeFrames frames;
        frames.fadeEnd = duration;
        frames.fadeOutStart = duration;
        if (event.fadeSettings) {
            // Percentages outside 0..100 would run the fades past the state.
            const double in = std::clamp(event.fadeSettings->FiDuration, 0, 100) / 100.0;
            const double out = std::clamp(event.fadeSettings->FoDuration, 0, 100) / 100.0;
            frames.fadeInEnd = static_cast<std::int32_t>(in * duration + 0.5);
            frames.fadeOutStart = static_cast<std::int32_t>(duration * (1 - out) + 0.5);
        }
        std::vector<SFadeStep> steps;
        MakeFadeSteps(state.startFrame, state.endFrame, frames, SFadeLevels{},
                      k + 1 == states.size(), rate, steps);

        SFadeObject object;
        object.picture = &indexed[lane][e];
        object.objectId = 0;
        object.windowId = static_cast<std::uint8_t>(group.lanes[lane].windowId);
        object.left = static_cast<std::uint16_t>(event.rect.left);
        object.top = static_cast<std::uint16_t>(event.rect.top);
        object.window = WindowOf(group.lanes[lane]);
        const std::size_t first = epoch.size();
        BuildFadeDisplaySets(epoch, counter, object, palette, group, steps);

        // Every state is an epoch of its own with one object.
        std::vector<SSetPlan> plans;
        for (std::size_t s = 0; s < steps.size(); ++s) {
            SSetPlan plan;
            plan.presentation = steps[s].time;
            plan.timedLike = s == 0 ? -1 : 0;
            plan.line[lane] = event.line;
            plan.ending = steps[s].clear;
            plans.push_back(plan);
        }
        TimeSets(epoch, first, plans, group, rate);
    }
}

// A line whose every state was too short to be kept (it overlaps lines of
// the other source for less than 5 frames each) still gets one state of its
// whole length, with the other source's line of its middle; the states it
// overlaps are cut back to make room.
void KeepEveryLine(SGroupContext& group, std::vector<SDisplayState>& states, double rate)
{
    for (std::size_t i = 0; i < group.lanes.size(); ++i) {
        const std::vector<SDisplayEvent>& events = group.lanes[i].events;
        for (std::size_t e = 0; e < events.size(); ++e) {
            const auto index = static_cast<std::int32_t>(e);
            if (std::any_of(states.begin(), states.end(),
                            [&](const SDisplayState& s) { return s.eventIndex[i] == index; }))
                continue;
            const std::uint32_t start = MsToFrame(events[e].start, rate);
            const std::uint32_t end = MsToFrame(events[e].end, rate);
            if (end <= start)
                continue;
            SDisplayState kept;
            kept.eventIndex[i] = index;
            kept.startFrame = start;
            kept.endFrame = end;
            const std::size_t other = 1 - i;
            const std::uint32_t middle = start + (end - start) / 2;
            const std::vector<SDisplayEvent>& others = group.lanes[other].events;
            for (std::size_t o = 0; o < others.size(); ++o) {
                if (MsToFrame(others[o].start, rate) <= middle &&
                    middle < MsToFrame(others[o].end, rate))
                    kept.eventIndex[other] = static_cast<std::int32_t>(o);
            }

            std::vector<SDisplayState> cut;
            for (const SDisplayState& state : states) {
                if (state.endFrame <= start || state.startFrame >= end) {
                    cut.push_back(state);
                    continue;
                }
                if (state.startFrame < start)
                    cut.push_back({state.eventIndex, state.startFrame, start});
                if (state.endFrame > end)
                    cut.push_back({state.eventIndex, end, state.endFrame});
            }
            cut.push_back(kept);
            std::stable_sort(cut.begin(), cut.end(),
                             [](const SDisplayState& a, const SDisplayState& b) {
                                 return a.startFrame < b.startFrame;
                             });
            states = std::move(cut);

            SAdjustment adjustment;
            adjustment.kind = EAdjustment::Kept;
            adjustment.line[i] = events[e].line;
            if (kept.eventIndex[other] >= 0)
                adjustment.line[other] =
                    others[static_cast<std::size_t>(kept.eventIndex[other])].line;
            adjustment.wanted = adjustment.given = FrameToTicks(start, rate);
            adjustment.frames = end - start;
            group.adjustments.push_back(adjustment);
        }
    }
}

// Lines that no display state shows are reported, never dropped unseen.
void ReportUnshown(SGroupContext& group, const std::vector<SDisplayState>& states, double rate)
{
    for (std::size_t i = 0; i < group.lanes.size(); ++i) {
        const std::vector<SDisplayEvent>& events = group.lanes[i].events;
        for (std::size_t e = 0; e < events.size(); ++e) {
            const bool shown =
                std::any_of(states.begin(), states.end(), [&](const SDisplayState& s) {
                    return s.eventIndex[i] == static_cast<std::int32_t>(e);
                });
            if (shown)
                continue;
            SAdjustment adjustment;
            adjustment.kind = EAdjustment::NotShown;
            adjustment.line[i] = events[e].line;
            adjustment.wanted = FrameToTicks(MsToFrame(events[e].start, rate), rate);
            group.adjustments.push_back(adjustment);
        }
    }
}

}  // namespace

void MakeFadeSteps(std::uint32_t startFrame, std::uint32_t endFrame, const SFadeFrames& frames,
                   const SFadeLevels& levels, bool isLast, double rate,
                   std::vector<SFadeStep>& steps)
{
    auto at = [&](std::int64_t f) {
        return FrameToTicks(static_cast<std::uint32_t>(startFrame + f), rate);
    };
    auto blend = [](double from, double to, double t) {
        return static_cast<std::uint8_t>(from * (1 - t) + to * t);
    };

    std::int64_t last = 0;
    if (frames.fadeInEnd == 0) {
        steps.push_back({at(0), false, true, levels.full});
    } else {
        for (std::int64_t f = frames.fadeStart; f <= frames.fadeInEnd; f += 2) {
            const double t = static_cast<double>(f) / frames.fadeInEnd;
            steps.push_back({at(f), false, true, blend(levels.start, levels.full, t)});
            last = f;
        }
    }

    std::int64_t fadeOutStart = frames.fadeOutStart;
    if (frames.fadeInEnd != 0) {
        if (fadeOutStart < last + 2)
            fadeOutStart = last + 2;
        else
            steps.push_back({at(last + 2), false, false, 0});
    }

    const double outLength = static_cast<double>(frames.fadeEnd - fadeOutStart);
    for (std::int64_t f = fadeOutStart; f < frames.fadeEnd; f += 2) {
        // Without a fade-in the first step already shows the full picture
        // at frame 0; a fade-out from frame 0 would repeat it at that time.
        if (f == 0 && frames.fadeInEnd == 0)
            continue;
        const double t = static_cast<double>(f - fadeOutStart) / outLength;
        steps.push_back({at(f), false, true, blend(levels.full, levels.end, t)});
        last = f;
    }

    if (isLast && endFrame >= startFrame + last + 1)
        steps.push_back({FrameToTicks(endFrame, rate), true, false, 0});
}

void BuildFadeDisplaySets(CEpochData& epoch, std::uint16_t& compositionCounter,
                          const SFadeObject& object, const SQuantised& palette,
                          const SGroupContext& group, const std::vector<SFadeStep>& steps)
{
    const std::size_t first = epoch.size();
    std::uint8_t paletteVersion = 0;
    for (std::size_t k = 0; k < steps.size(); ++k) {
        const SFadeStep& step = steps[k];
        epoch.emplace_back();
        CDsData& set = epoch.back();
        StartSet(set, k == 0 ? EpochStart : NormalCase, compositionCounter, group);

        const bool shows = !step.clear;
        if (shows) {
            SCompositionObject shown;
            shown.ObjectId = object.objectId;
            shown.WindowId = object.windowId;
            shown.Forced = false;
            shown.X = object.left;
            shown.Y = object.top;
            set.Pcs.AddObject(shown);
        }
        if (step.paletteStep)
            set.Pcs.PaletteUpdate = k > 0;
        if (k == 0 || !step.paletteStep) {
            set.Wds.emplace();
            set.Wds->AddWindow(object.window);
        }
        if (k == 0)
            AddObjectSegments(set, *object.picture, object.objectId, 0);

        if (step.paletteStep) {
            SQuantised faded = palette;
            for (QRgb& colour : faded.palette)
                colour = qRgba(qRed(colour), qGreen(colour), qBlue(colour),
                               qAlpha(colour) * step.alpha / 255);
            AddPalette(set, faded, paletteVersion++, group.colourMatrix);
        } else if (k == 0) {
            AddPalette(set, palette, 0, group.colourMatrix);
        }
        set.End.emplace();

        // Later sets are timed with the window and object of the state's
        // first set, which the decoder still holds.
        const CDsData& head = epoch[first];
        if (k == 0)
            StampTimes(set, step.time);
        else
            StampTimes(set, step.time, head.Wds ? &*head.Wds : nullptr, &head.Objects);
    }
}

EGroupResult EncodeGroup(SGroupContext& group, QIODevice& main, QIODevice* mui,
                         std::uint16_t& compositionCounter)
{
    const double rate = NominalRateOfCode(group.frameRateCode);
    if (!(rate > 0))
        return EGroupResult::NotEncoded;
    std::vector<SDisplayState> states;
    if (!MakeDisplayStates(group, states))
        return EGroupResult::NotEncoded;
    if (!InsideFrame(group))
        return EGroupResult::NotEncoded;

    std::vector<const QImage*> pictures;
    for (const SWindowLane& lane : group.lanes) {
        for (const SDisplayEvent& event : lane.events)
            pictures.push_back(&event.image);
    }
    std::vector<QImage> reduced;
    SQuantised palette;
    if (!QuantiseGroup(pictures, reduced, palette))
        return EGroupResult::NotEncoded;
    std::vector<std::vector<QImage>> indexed(group.lanes.size());
    std::size_t next = 0;
    for (std::size_t i = 0; i < group.lanes.size(); ++i) {
        for (SDisplayEvent& event : group.lanes[i].events) {
            indexed[i].push_back(std::move(reduced[next++]));
            PadSmallPicture(indexed[i].back(), event.rect, palette.transparentIndex, group);
        }
    }
    const int windows = AssignWindows(group);
    KeepEveryLine(group, states, rate);
    ReportUnshown(group, states, rate);

    CEpochData epoch;
    if (HasFades(group, states, windows))
        EncodeFades(epoch, group, states, indexed, palette, compositionCounter, rate);
    else
        EncodePlain(epoch, group, states, indexed, palette, compositionCounter, rate);

    return WriteEpoch(epoch, main, mui) == EWriteResult::Failed ? EGroupResult::WriteFailed
                                                                : EGroupResult::Written;
}

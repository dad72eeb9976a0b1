#include "GroupEncoder.h"

#include "DisplayStates.h"
#include "ObjectCoding.h"
#include "PaletteEntries.h"
#include "StreamWriter.h"
#include "Timing.h"
#include "VideoFormats.h"

#include <algorithm>

namespace {

SWindow WindowOf(const SWindowLane& lane)
{
    SWindow window;
    window.WindowId = static_cast<std::uint8_t>(lane.windowId);
    window.X = static_cast<std::uint16_t>(lane.rect.left);
    window.Y = static_cast<std::uint16_t>(lane.rect.top);
    window.Width = static_cast<std::uint16_t>(lane.rect.right - lane.rect.left);
    window.Height = static_cast<std::uint16_t>(lane.rect.bottom - lane.rect.top);
    return window;
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
        lane.rect = lane.events.front().rect;
        for (const SDisplayEvent& event : lane.events) {
            lane.rect.left = std::min(lane.rect.left, event.rect.left);
            lane.rect.top = std::min(lane.rect.top, event.rect.top);
            lane.rect.right = std::max(lane.rect.right, event.rect.right);
            lane.rect.bottom = std::max(lane.rect.bottom, event.rect.bottom);
        }
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

void AddWindows(CDsData& set, const SGroupContext& group)
{
    set.Wds.emplace();
    for (const SWindowLane& lane : group.lanes) {
        if (lane.windowId >= 0)
            set.Wds->AddWindow(WindowOf(lane));
    }
}

void AddPalette(CDsData& set, const SQuantised& quantised, std::uint8_t version,
                EColourMatrix matrix)
{
    CPds pds;
    FillPds(pds, MakeErgbPalette(quantised), matrix);
    pds.PaletteVersion = version;
    set.Palettes.push_back(std::move(pds));
}

void StampTimes(CDsData& set, std::uint32_t presentation, const CWds* windows = nullptr,
                const COdsArray* objects = nullptr)
{
    SetDisplaySetTimes(set, presentation,
                       DecodeStart(presentation, DecodeDuration(set, windows, objects)));
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

// Encodes one set per state and the clearing set. Stops at an object that
// cannot be coded, leaving the sets made so far.
void EncodePlain(CEpochData& epoch, SGroupContext& group, const std::vector<SDisplayState>& states,
                 const std::vector<std::vector<QImage>>& indexed, const SQuantised& palette,
                 int windows, std::uint16_t& counter, double rate)
{
    for (std::size_t k = 0; k < states.size(); ++k) {
        const SDisplayState& state = states[k];
        epoch.emplace_back();
        CDsData& set = epoch.back();
        const std::uint8_t composition =
            k == 0 ? EpochStart : (windows == 2 ? NormalCase : AcquisitionPoint);
        StartSet(set, composition, counter, group);
        AddWindows(set, group);
        for (std::size_t i = 0; i < group.lanes.size(); ++i) {
            if (state.eventIndex[i] < 0)
                continue;
            const SDisplayEvent& event =
                group.lanes[i].events[static_cast<std::size_t>(state.eventIndex[i])];
            SCompositionObject object;
            object.ObjectId = static_cast<std::uint16_t>(event.objectId);
            object.WindowId = static_cast<std::uint8_t>(group.lanes[i].windowId);
            object.Forced = group.forced != 0;
            object.X = static_cast<std::uint16_t>(event.rect.left);
            object.Y = static_cast<std::uint16_t>(event.rect.top);
            set.Pcs.AddObject(object);
        }
        for (std::size_t i = 0; i < group.lanes.size(); ++i) {
            if (state.eventIndex[i] < 0)
                continue;
            const auto e = static_cast<std::size_t>(state.eventIndex[i]);
            SDisplayEvent& event = group.lanes[i].events[e];
            if (!AddObjectSegments(set, indexed[i][e], static_cast<std::uint16_t>(event.objectId),
                                   event.version)) {
                // The unfinished set goes out only if it still passes the
                // check, but never with unset time stamps.
                StampTimes(set, FrameToTicks(state.startFrame, rate));
                return;
            }
            ++event.version;
        }
        AddPalette(set, palette, 0, group.colourMatrix);
        set.End.emplace();
        StampTimes(set, FrameToTicks(state.startFrame, rate));
    }

    epoch.emplace_back();
    CDsData& clearing = epoch.back();
    StartSet(clearing, NormalCase, counter, group);
    AddWindows(clearing, group);
    clearing.End.emplace();
    StampTimes(clearing, FrameToTicks(states.back().endFrame, rate));
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
        object.objectId = static_cast<std::uint16_t>(event.objectId);
        object.windowId = static_cast<std::uint8_t>(group.lanes[lane].windowId);
        object.left = static_cast<std::uint16_t>(event.rect.left);
        object.top = static_cast<std::uint16_t>(event.rect.top);
        object.window = WindowOf(group.lanes[lane]);
        BuildFadeDisplaySets(epoch, counter, object, palette, group, steps);
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
    const int windows = AssignWindows(group);

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
        for (std::size_t e = 0; e < group.lanes[i].events.size(); ++e)
            indexed[i].push_back(std::move(reduced[next++]));
    }

    CEpochData epoch;
    if (HasFades(group, states, windows))
        EncodeFades(epoch, group, states, indexed, palette, compositionCounter, rate);
    else
        EncodePlain(epoch, group, states, indexed, palette, windows, compositionCounter, rate);

    return WriteEpoch(epoch, main, mui) == EWriteResult::Failed ? EGroupResult::WriteFailed
                                                                : EGroupResult::Written;
}

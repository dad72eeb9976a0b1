#include "Timing.h"

#include <cmath>

namespace {

// The plane and window copy rate is 0.0028125 ticks a pixel (9 / 3200), the
// object decode rate 0.005625 (9 / 1600). Integer arithmetic gives the same
// rounded-up values as the double products without their rounding noise.
std::uint32_t CeilTicks(std::uint64_t pixels, std::uint64_t divisor)
{
    return static_cast<std::uint32_t>((pixels * 9 + divisor - 1) / divisor);
}

std::uint64_t Area(const SWindow& window)
{
    return std::uint64_t{window.Width} * window.Height;
}

std::uint32_t WindowTicks(const CWds* windows, std::uint8_t windowId)
{
    if (!windows)
        return 0;
    const SWindow* window = windows->FindWindow(windowId);
    return window ? WindowAreaTicks(Area(*window)) : 0;
}

// When the object is decoded, counted from the start of the set's
// decoding: one decoder takes the objects one after another in the order of
// their definitions, so an object waits for every object defined before it.
// An id without definition is ready at once.
std::uint32_t ObjectReadyTicks(const COdsArray& objects, std::uint16_t objectId)
{
    std::uint32_t done = 0;
    for (const COds& ods : objects) {
        std::uint16_t width = 0;
        std::uint16_t height = 0;
        if (!ods.FirstInSequence || !ods.ObjectSize(width, height))
            continue;
        done += ObjectDecodeTicks(std::uint64_t{width} * height);
        if (ods.ObjectId == objectId)
            return done;
    }
    return 0;
}

// An unsigned difference that stops at 0.
std::uint32_t Less(std::uint32_t value, std::uint32_t minus)
{
    return value > minus ? value - minus : 0;
}

}  // namespace

std::uint32_t MsToFrame(std::uint32_t ms, double rate)
{
    const double frame = ms * rate / 1000 + 0.5;
    return frame > 0 ? static_cast<std::uint32_t>(static_cast<std::uint64_t>(frame)) : 0;
}

std::uint32_t FrameToTicks(std::uint32_t frame, double rate)
{
    if (!(rate > 0))
        return 0;
    const double ticks = frame / rate * 90 * 1000 + 0.5;
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ticks));
}

std::uint32_t WindowAreaTicks(std::uint64_t pixels)
{
    return CeilTicks(pixels, 3200);
}

std::uint32_t ObjectDecodeTicks(std::uint64_t pixels)
{
    return CeilTicks(pixels, 1600);
}

std::uint32_t DecodeDuration(const CDsData& set, const CWds* windows, const COdsArray* objects)
{
    if (!windows && set.Wds)
        windows = &*set.Wds;
    if (!objects)
        objects = &set.Objects;
    const std::vector<SCompositionObject>& shown = set.Pcs.Objects;

    std::uint32_t d = 0;
    if (set.CompositionState == EpochStart) {
        d = WindowAreaTicks(std::uint64_t{set.Pcs.Video.Width} * set.Pcs.Video.Height);
    } else if (windows) {
        for (const SWindow& window : windows->Windows) {
            bool used = false;
            for (const SCompositionObject& object : shown)
                used = used || object.WindowId == window.WindowId;
            if (!used)
                d += WindowAreaTicks(Area(window));
        }
    }

    auto wait = [&](const SCompositionObject& object) {
        return Less(ObjectReadyTicks(*objects, object.ObjectId), d);
    };
    if (shown.size() >= 2) {
        const SCompositionObject& a = shown[0];
        const SCompositionObject& b = shown[1];
        d += wait(a);
        if (a.WindowId != b.WindowId)
            d += WindowTicks(windows, a.WindowId);
        d += wait(b);
        d += WindowTicks(windows, b.WindowId);
    } else if (shown.size() == 1) {
        d += wait(shown[0]);
        d += WindowTicks(windows, shown[0].WindowId);
    }
    return d;
}

std::uint32_t DecodeStart(std::uint32_t presentation, std::uint32_t duration)
{
    return Less(presentation, duration);
}

void SetDisplaySetTimes(CDsData& set, std::uint32_t presentation, std::uint32_t decoding)
{
    set.Pcs.PTS = presentation;
    set.Pcs.DTS = decoding;

    if (set.Wds) {
        std::uint64_t pixels = 0;
        for (const SWindow& window : set.Wds->Windows)
            pixels += Area(window);
        std::uint32_t pts = Less(presentation, WindowAreaTicks(pixels));
        if (pts <= decoding)
            pts = decoding;
        set.Wds->PTS = pts;
        set.Wds->DTS = decoding;
    }

    for (CPds& pds : set.Palettes) {
        pds.PTS = decoding;
        pds.DTS = 0;
    }

    std::uint32_t t = decoding;
    std::uint32_t objectStart = decoding;
    for (COds& ods : set.Objects) {
        std::uint16_t width = 0;
        std::uint16_t height = 0;
        if (ods.FirstInSequence) {
            objectStart = t;
            if (ods.ObjectSize(width, height))
                t += ObjectDecodeTicks(std::uint64_t{width} * height);
        }
        ods.PTS = t;
        ods.DTS = objectStart;
    }

    if (!set.End)
        set.End.emplace();
    if (!set.Objects.empty())
        set.End->PTS = t;
    else if (!set.Palettes.empty())
        set.End->PTS = decoding;
    else if (set.Wds)
        set.End->PTS = set.Wds->PTS;
    else
        set.End->PTS = presentation;
    set.End->DTS = 0;
}

#include "SampleEpoch.h"

#include "pgs/ObjectCoding.h"
#include "pgs/PaletteEntries.h"
#include "pgs/Timing.h"

QImage BandsPicture(int width, int height, int border)
{
    QImage picture(width, height, QImage::Format_Indexed8);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = picture.scanLine(y);
        const std::uint8_t band = static_cast<std::uint8_t>(1 + y * 3 / height);
        for (int x = 0; x < width; ++x) {
            const bool edge =
                x < border || y < border || x >= width - border || y >= height - border;
            row[x] = edge ? 0 : band;
        }
    }
    return picture;
}

QImage NoisePicture(int width, int height, unsigned seed, int colours)
{
    QImage picture(width, height, QImage::Format_Indexed8);
    unsigned state = seed * 2654435761u + 1;
    auto next = [&] {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    };
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = picture.scanLine(y);
        int x = 0;
        while (x < width) {
            // Mostly short runs, now and then a long one of either kind.
            const unsigned kind = next() % 16;
            const int run = kind < 12 ? 1 + static_cast<int>(next() % 3)
                                      : (kind < 15 ? 3 + static_cast<int>(next() % 61)
                                                   : 64 + static_cast<int>(next() % 300));
            const auto colour = static_cast<std::uint8_t>(next() % static_cast<unsigned>(colours));
            for (int i = 0; i < run && x < width; ++i)
                row[x++] = colour;
        }
    }
    return picture;
}

CErgbPalette SamplePalette(int count)
{
    CErgbPalette palette;
    for (int i = 0; i < count; ++i) {
        ERGBQUAD colour;
        colour.Index = static_cast<std::uint8_t>(i);
        colour.Alpha = 255;
        switch (i) {
        case 0: colour.Alpha = 0; break;
        case 1: colour.Red = 255; break;
        case 2: colour.Green = 255; break;
        case 3: colour.Red = colour.Green = colour.Blue = 255; break;
        default: colour.Red = colour.Green = colour.Blue = static_cast<std::uint8_t>(i); break;
        }
        palette.Colours.push_back(colour);
    }
    return palette;
}

CDsData MakeDisplaySet(std::uint8_t state, std::uint16_t number, std::uint8_t rateCode,
                       const std::vector<SWindow>& windows,
                       const std::vector<SSampleObject>& objects, const CErgbPalette* palette,
                       std::uint32_t presentation)
{
    CDsData set;
    set.CompositionState = state;
    set.Pcs.CompositionState = state;
    set.Pcs.Video = {1920, 1080, rateCode, 0};
    set.Pcs.CompositionNumber = number;
    if (!windows.empty()) {
        set.Wds.emplace();
        for (const SWindow& window : windows)
            set.Wds->AddWindow(window);
    }
    for (const SSampleObject& object : objects) {
        SCompositionObject shown;
        shown.ObjectId = object.Id;
        shown.WindowId = object.WindowId;
        shown.X = object.X;
        shown.Y = object.Y;
        set.Pcs.AddObject(shown);
        AddObjectSegments(set, object.Picture, object.Id, object.Version);
    }
    if (palette) {
        set.Palettes.emplace_back();
        FillPds(set.Palettes.back(), *palette);
    }
    set.End.emplace();
    SetDisplaySetTimes(set, presentation, DecodeStart(presentation, DecodeDuration(set)));
    return set;
}

CEpochData MakeSampleEpoch()
{
    const std::uint8_t code = 3;  // 25 fps
    const std::vector<SWindow> windows{{0, 100, 40, 1200, 600}, {1, 600, 900, 300, 60}};
    const CErgbPalette palette = SamplePalette(256);
    const SSampleObject top{0, 0, 0, 100, 40, NoisePicture(1200, 600, 7)};
    const SSampleObject bottom{1, 0, 1, 600, 900, BandsPicture(300, 60, 2)};
    SSampleObject bottomAgain = bottom;
    bottomAgain.Version = 1;

    CEpochData epoch;
    epoch.push_back(MakeDisplaySet(EpochStart, 10, code, windows, {top, bottom}, &palette,
                                   FrameToTicks(25, 25)));
    epoch.push_back(MakeDisplaySet(NormalCase, 11, code, windows, {bottomAgain}, &palette,
                                   FrameToTicks(75, 25)));
    epoch.push_back(
        MakeDisplaySet(NormalCase, 12, code, windows, {}, nullptr, FrameToTicks(100, 25)));
    return epoch;
}

#include "VideoFormats.h"

#include <array>
#include <cmath>
#include <stdexcept>

namespace {

constexpr std::array<SVideoSize, VideoSizeCount> VideoSizes{{
    {1920, 1080, "1920 x 1080"},
    {1440, 1080, "1440 x 1080"},
    {1280, 720, "1280 x 720"},
    {720, 480, "720 x 480"},
    {720, 576, "720 x 576"},
}};

constexpr std::array<SFrameRate, FrameRateCount> FrameRates{{
    {24000, 1001, "23.976"},
    {24, 1, "24"},
    {25, 1, "25"},
    {30000, 1001, "29.97"},
    {50, 1, "50"},
    {60000, 1001, "59.94"},
}};

// Indexed by frame-rate code; 0 marks codes that name no rate.
constexpr std::array<double, 8> NominalRates{0, 23.976, 24, 25, 29.97, 0, 50, 59.94};

}  // namespace

const SVideoSize& VideoSizeAt(int index)
{
    if (index < 0 || index >= VideoSizeCount)
        throw std::out_of_range("video size index out of range");
    return VideoSizes[static_cast<std::size_t>(index)];
}

const SFrameRate& FrameRateAt(int index)
{
    if (index < 0 || index >= FrameRateCount)
        throw std::out_of_range("frame rate index out of range");
    return FrameRates[static_cast<std::size_t>(index)];
}

int FrameRateCodeOf(double rate)
{
    for (std::size_t code = 0; code < NominalRates.size(); ++code) {
        if (std::fabs(NominalRates[code] - rate) <= 0.01)
            return static_cast<int>(code);
    }
    return -1;
}

double NominalRateOfCode(int code)
{
    if (code < 0 || code >= static_cast<int>(NominalRates.size()))
        return 0;
    return NominalRates[static_cast<std::size_t>(code)];
}

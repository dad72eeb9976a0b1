#pragma once
// Numbers from scripts can be anything: these keep them inside 32 bits
// instead of overflowing (NaN becomes 0).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

inline std::int32_t SaturatedInt(double value)
{
    if (std::isnan(value))
        return 0;
    constexpr double low = std::numeric_limits<std::int32_t>::min();
    constexpr double high = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(value, low, high));
}

inline std::int32_t SaturatedInt(std::int64_t value)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

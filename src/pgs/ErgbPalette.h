#pragma once
// The palette as the segment writer takes it: colours with their index and
// the index that stands for fully transparent pixels.

#include <cstdint>
#include <vector>

struct ERGBQUAD {
    std::uint8_t Index = 0;
    std::uint8_t Blue = 0;
    std::uint8_t Green = 0;
    std::uint8_t Red = 0;
    std::uint8_t Alpha = 0;
    bool operator==(const ERGBQUAD&) const = default;
};

struct CErgbPalette {
    std::vector<ERGBQUAD> Colours;
    std::uint8_t TransparentIndex = 0;
};

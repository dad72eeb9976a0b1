#pragma once
// The video sizes and frame rates a build can target. Their indexes are what
// the settings, the build job and every picture request carry.

#include <cstdint>

struct SVideoSize {
    int Width;
    int Height;
    const char* Label;  // as the video-size list shows it
};

struct SFrameRate {
    int Numerator;
    int Denominator;
    const char* Label;  // as the frame-rate list shows it
    double Rate() const { return static_cast<double>(Numerator) / Denominator; }
};

constexpr int VideoSizeCount = 5;
constexpr int FrameRateCount = 6;

// Throws std::out_of_range for an index outside the table.
const SVideoSize& VideoSizeAt(int index);
const SFrameRate& FrameRateAt(int index);

// The stream's frame-rate code of a rate: the first code whose nominal value
// lies within 0.01 of the rate, or -1 when none does.
int FrameRateCodeOf(double rate);

// The nominal rate of a frame-rate code (23.976 for code 1); 0 for a code
// without one. The encoder times everything with the nominal rate.
double NominalRateOfCode(int code);

#include "pgs/VideoFormats.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

TEST(VideoFormats, SizesAndRatesByIndex)
{
    const int widths[] = {1920, 1440, 1280, 720, 720};
    const int heights[] = {1080, 1080, 720, 480, 576};
    const char* labels[] = {"1920 x 1080", "1440 x 1080", "1280 x 720", "720 x 480", "720 x 576"};
    for (int i = 0; i < VideoSizeCount; ++i) {
        EXPECT_EQ(VideoSizeAt(i).Width, widths[i]) << i;
        EXPECT_EQ(VideoSizeAt(i).Height, heights[i]) << i;
        EXPECT_EQ(std::string(VideoSizeAt(i).Label), labels[i]) << i;
    }

    const double rates[] = {24000.0 / 1001, 24, 25, 30000.0 / 1001, 50, 60000.0 / 1001};
    const char* rateLabels[] = {"23.976", "24", "25", "29.97", "50", "59.94"};
    const int codes[] = {1, 2, 3, 4, 6, 7};
    for (int i = 0; i < FrameRateCount; ++i) {
        EXPECT_DOUBLE_EQ(FrameRateAt(i).Rate(), rates[i]) << i;
        EXPECT_EQ(std::string(FrameRateAt(i).Label), rateLabels[i]) << i;
        EXPECT_EQ(FrameRateCodeOf(FrameRateAt(i).Rate()), codes[i]) << i;
    }
}

TEST(VideoFormats, IndexOutsideTheTablesThrows)
{
    EXPECT_THROW(VideoSizeAt(-1), std::out_of_range);
    EXPECT_THROW(VideoSizeAt(VideoSizeCount), std::out_of_range);
    EXPECT_THROW(FrameRateAt(-1), std::out_of_range);
    EXPECT_THROW(FrameRateAt(FrameRateCount), std::out_of_range);
}

TEST(VideoFormats, FrameRateCodeLookup)
{
    struct Case {
        double Rate;
        int Code;
    } cases[] = {
        {23.976, 1}, {23.98, 1}, {23.985, 1}, {23.99, -1}, {24.0, 2},
        {24.009, 2}, {25.0, 3},  {29.97, 4},  {30.0, -1},  {50.0, 6},
        {59.94, 7},  {60.0, -1}, {48.0, -1},  {0.0, 0},    {-1.0, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FrameRateCodeOf(c.Rate), c.Code) << c.Rate;
}

TEST(VideoFormats, NominalRatesOfCodes)
{
    const double expected[] = {0, 23.976, 24, 25, 29.97, 0, 50, 59.94};
    for (int code = 0; code < 8; ++code)
        EXPECT_DOUBLE_EQ(NominalRateOfCode(code), expected[code]) << code;
    EXPECT_EQ(NominalRateOfCode(-1), 0);
    EXPECT_EQ(NominalRateOfCode(8), 0);
}

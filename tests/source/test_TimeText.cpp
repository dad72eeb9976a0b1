#include "source/TimeText.h"

#include <gtest/gtest.h>

namespace {

TEST(TimeText, HundredthsTruncated)
{
    const std::pair<std::uint32_t, const char*> cases[] = {
        {83456, "00:01:23:45"}, {3600000, "01:00:00:00"}, {999, "00:00:00:99"}, {5, "00:00:00:00"}};
    for (const auto& [ms, text] : cases)
        EXPECT_EQ(TimeText(ms), QString(text)) << ms;
}

TEST(TimeText, ClockTextToTheMillisecond)
{
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0, "0:00:00.000"},
        {47721858, "13:15:21.858"},
        {83456, "0:01:23.456"},
        {3599999, "0:59:59.999"},
        // Past 99 hours the hours just grow; nothing wraps.
        {4294967295u, "1193:02:47.295"},
    };
    for (const auto& [ms, text] : cases)
        EXPECT_EQ(ClockText(ms), QString(text)) << ms;
}

TEST(TimeText, EditedTextsGiveTheirTimes)
{
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"00:00:02:50", 2500},
        {"00:00:02:05", 2050},
        {"01:00:00:00", 3600000},
        {"00:01:23:45", 83450},
        {"99:59:59:99", 359999990},
        // Not of the form: only the hundredths count.
        {"0:00:02:50", 500},
        {"00-00-02:50", 500},
        {"", 0},
        {"ab:cd:ef:gh", 0},
    };
    for (const auto& [text, ms] : cases)
        EXPECT_EQ(TimeFromText(QString(text)), ms) << text;
}

}  // namespace

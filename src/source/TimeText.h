#pragma once
// Line times as the line list shows them.

#include <QString>

#include <cstdint>

// HH:MM:SS:cc, the hundredths truncated: 83456 ms is "00:01:23:45".
QString TimeText(std::uint32_t ms);

#pragma once
// Line times as the line list shows them.

#include <QString>

#include <cstdint>

// HH:MM:SS:cc, the hundredths truncated: 83456 ms is "00:01:23:45".
QString TimeText(std::uint32_t ms);

// h:mm:ss.mmm, the hours as many as there are: 47721858 ms is
// "13:15:21.858". For messages that must name a time to the millisecond.
QString ClockText(std::uint32_t ms);

// The time of an edited "HH:MM:SS:cc" in milliseconds: hours, minutes and
// seconds from the text with its last two characters taken as 00 (a text
// not of that form counts as 0), plus ten times the number the last two
// characters form.
std::uint32_t TimeFromText(const QString& text);

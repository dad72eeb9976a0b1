#include "TimeText.h"

QString TimeText(std::uint32_t ms)
{
    const std::uint32_t s = ms / 1000;
    return QString::asprintf("%02u:%02u:%02u:%02u", s / 3600, s % 3600 / 60, s % 60,
                             ms % 1000 / 10);
}

#include "TimeText.h"

QString TimeText(std::uint32_t ms)
{
    const std::uint32_t s = ms / 1000;
    return QString::asprintf("%02u:%02u:%02u:%02u", s / 3600, s % 3600 / 60, s % 60,
                             ms % 1000 / 10);
}

QString ClockText(std::uint32_t ms)
{
    const std::uint32_t s = ms / 1000;
    return QString::asprintf("%u:%02u:%02u.%03u", s / 3600, s % 3600 / 60, s % 60, ms % 1000);
}

namespace {

// The leading digits of `text` as a number; 0 without any.
std::uint32_t LeadingNumber(const QString& text)
{
    std::uint32_t value = 0;
    for (const QChar c : text) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + static_cast<std::uint32_t>(c.unicode() - '0');
        if (value > 100000000)
            break;
    }
    return value;
}

}  // namespace

std::uint32_t TimeFromText(const QString& text)
{
    const std::uint32_t hundredths = LeadingNumber(text.right(2));
    // HH:MM:SS:FF with two digits each; FF, a frame count, is 00 here.
    const QString whole = text.left(text.size() - 2) + "00";
    std::uint32_t ms = 0;
    bool form = whole.size() == 11;
    for (int i = 0; form && i < 11; ++i)
        form = (i % 3 == 2) ? whole[i] == QChar(':')
                            : (whole[i] >= QChar('0') && whole[i] <= QChar('9'));
    if (form) {
        const auto field = [&whole](int at) { return LeadingNumber(whole.mid(at, 2)); };
        ms = ((field(0) * 60 + field(3)) * 60 + field(6)) * 1000;
    }
    return ms + 10 * hundredths;
}

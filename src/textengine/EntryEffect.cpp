// The effect field of an entry: "Banner;" and "Scroll up;" / "Scroll down;"
// followed by integers separated by ";". Anything else moves nothing.

#include "OverrideCommands.h"
#include "RenderedTextSubtitle.h"
#include "formats/Numbers.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace {

std::string Lowered(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The numbers after the name, up to the first field that is not one.
std::vector<std::int32_t> EffectNumbers(const std::string& fields)
{
    std::vector<std::int32_t> numbers;
    const QStringList parts = QString::fromLatin1(fields).split(u';');
    for (const QString& part : parts) {
        if (!StartsWithNumber(part))
            break;
        numbers.push_back(ReadInt(part));
    }
    return numbers;
}

}  // namespace

void CRenderedTextSubtitle::ApplyEntryEffect(CSubtitle& subtitle, const std::string& effect)
{
    const std::size_t semicolon = effect.find(';');
    if (semicolon == std::string::npos)
        return;
    const std::string name = Lowered(effect.substr(0, semicolon + 1));
    const std::vector<std::int32_t> n = EffectNumbers(effect.substr(semicolon + 1));
    auto at = [&](std::size_t i) { return i < n.size() ? n[i] : 0; };

    if (name == "banner;") {
        if (n.empty())
            return;
        const double scale = subtitle.scaleX;
        subtitle.effects[EffectBanner] =
            SEffect{{std::max(1, SaturatedInt(at(0) / scale)), at(1), SaturatedInt(at(2) * scale)}};
        // A banner runs along one row.
        subtitle.wrapStyle = 2;
    } else if (name == "scroll up;" || name == "scroll down;") {
        if (n.size() < 3)
            return;
        std::int32_t top = n[0];
        std::int32_t bottom = n[1];
        if (top > bottom)
            std::swap(top, bottom);
        const double scale = subtitle.scaleY;
        subtitle.effects[EffectScroll] = SEffect{{
            SaturatedInt(top * scale * 8),
            SaturatedInt(bottom * scale * 8),
            std::max(1, SaturatedInt(n[2] / scale)),
            name == "scroll up;" ? 1 : 0,
            SaturatedInt(at(3) * scale),
        }};
    }
}

#include "OverrideCommands.h"

#include "formats/Numbers.h"
#include <array>
#include <cmath>
#include <limits>

namespace {

struct SPrefix {
    std::string_view name;
    EOverrideTag tag;
    bool takesTail;  // the rest of the name is one more argument
    bool hexTail;    // ... with "&" and "H" trimmed from both ends
};

// Longer names that share a start with shorter ones come first: the first
// prefix that fits wins, so "fscx" must be tried before "fsc" and "fs".
constexpr std::array Prefixes{
    SPrefix{"1c", EOverrideTag::Colour1, true, true},
    SPrefix{"2c", EOverrideTag::Colour2, true, true},
    SPrefix{"3c", EOverrideTag::Colour3, true, true},
    SPrefix{"4c", EOverrideTag::Colour4, true, true},
    SPrefix{"1a", EOverrideTag::Alpha1, true, true},
    SPrefix{"2a", EOverrideTag::Alpha2, true, true},
    SPrefix{"3a", EOverrideTag::Alpha3, true, true},
    SPrefix{"4a", EOverrideTag::Alpha4, true, true},
    SPrefix{"alpha", EOverrideTag::Alpha, true, true},
    SPrefix{"an", EOverrideTag::An, true, false},
    SPrefix{"a", EOverrideTag::A, true, false},
    SPrefix{"blur", EOverrideTag::Blur, true, false},
    SPrefix{"bord", EOverrideTag::Bord, true, false},
    SPrefix{"be", EOverrideTag::Be, true, false},
    SPrefix{"b", EOverrideTag::B, true, false},
    SPrefix{"clip", EOverrideTag::Clip, false, false},
    SPrefix{"c", EOverrideTag::C, true, true},
    // "fad" covers "fade" too; neither takes a tail.
    SPrefix{"fad", EOverrideTag::Fade, false, false},
    SPrefix{"fe", EOverrideTag::Fe, true, false},
    SPrefix{"fn", EOverrideTag::Fn, true, false},
    SPrefix{"frx", EOverrideTag::Frx, true, false},
    SPrefix{"fry", EOverrideTag::Fry, true, false},
    SPrefix{"frz", EOverrideTag::Frz, true, false},
    SPrefix{"fax", EOverrideTag::Fax, true, false},
    SPrefix{"fay", EOverrideTag::Fay, true, false},
    SPrefix{"fr", EOverrideTag::Fr, true, false},
    SPrefix{"fscx", EOverrideTag::Fscx, true, false},
    SPrefix{"fscy", EOverrideTag::Fscy, true, false},
    SPrefix{"fsc", EOverrideTag::Fsc, true, false},
    SPrefix{"fsp", EOverrideTag::Fsp, true, false},
    SPrefix{"fs", EOverrideTag::Fs, true, false},
    SPrefix{"iclip", EOverrideTag::Iclip, false, false},
    SPrefix{"i", EOverrideTag::I, true, false},
    SPrefix{"kt", EOverrideTag::Kt, true, false},
    SPrefix{"kf", EOverrideTag::Kf, true, false},
    SPrefix{"ko", EOverrideTag::Ko, true, false},
    SPrefix{"k", EOverrideTag::K, true, false},
    SPrefix{"K", EOverrideTag::KUpper, true, false},
    SPrefix{"move", EOverrideTag::Move, false, false},
    SPrefix{"org", EOverrideTag::Org, false, false},
    SPrefix{"pbo", EOverrideTag::Pbo, true, false},
    SPrefix{"pos", EOverrideTag::Pos, false, false},
    SPrefix{"p", EOverrideTag::P, true, false},
    SPrefix{"q", EOverrideTag::Q, true, false},
    SPrefix{"r", EOverrideTag::R, true, false},
    SPrefix{"shad", EOverrideTag::Shad, true, false},
    SPrefix{"s", EOverrideTag::S, true, false},
    SPrefix{"t", EOverrideTag::T, false, false},
    SPrefix{"u", EOverrideTag::U, true, false},
    SPrefix{"xbord", EOverrideTag::Xbord, true, false},
    SPrefix{"xshad", EOverrideTag::Xshad, true, false},
    SPrefix{"ybord", EOverrideTag::Ybord, true, false},
    SPrefix{"yshad", EOverrideTag::Yshad, true, false},
};

bool StartsWith(const QString& text, std::string_view prefix)
{
    if (text.size() < static_cast<qsizetype>(prefix.size()))
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (text[static_cast<qsizetype>(i)] != QLatin1Char(prefix[i]))
            return false;
    }
    return true;
}

QString TrimHexMarks(QString text)
{
    auto isMark = [](QChar c) { return c == u'&' || c == u'H'; };
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && isMark(text[from]))
        ++from;
    while (to > from && isMark(text[to - 1]))
        --to;
    return text.mid(from, to - from);
}

// Commas separate arguments until a backslash turns up before the next
// comma: from there on the text is a nested block (the style of "t") and
// stays whole, commas and all.
QStringList SplitArguments(const QString& list)
{
    QStringList args;
    const QString text = list.trimmed();
    qsizetype at = 0;
    while (at < text.size()) {
        const qsizetype comma = text.indexOf(u',', at);
        const qsizetype slash = text.indexOf(u'\\', at);
        const bool restIsOne = slash >= 0 && (comma < 0 || slash < comma);
        const qsizetype end = (restIsOne || comma < 0) ? text.size() : comma;
        const QString arg = text.mid(at, end - at).trimmed();
        if (!arg.isEmpty())
            args.append(arg);
        at = end + 1;
    }
    return args;
}

qsizetype SkipBlanksAndSign(QStringView text, bool& negative)
{
    qsizetype at = 0;
    while (at < text.size() && text[at].isSpace())
        ++at;
    negative = false;
    if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) {
        negative = text[at] == u'-';
        ++at;
    }
    return at;
}

bool IsDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

}  // namespace

std::vector<SOverrideCommand> SplitOverrideBlock(const QString& block)
{
    std::vector<SOverrideCommand> commands;
    const qsizetype length = block.size();
    qsizetype at = block.indexOf(u'\\');
    while (at >= 0) {
        qsizetype end = at + 1;
        while (end < length && block[end] != u'(' && block[end] != u'\\')
            ++end;
        const QString name = block.mid(at + 1, end - at - 1).trimmed();
        QStringList args;
        qsizetype next = end;
        if (end < length && block[end] == u'(') {
            const qsizetype close = block.indexOf(u')', end + 1);
            const qsizetype argsEnd = close < 0 ? length : close;
            args = SplitArguments(block.mid(end + 1, argsEnd - end - 1));
            next = close < 0 ? length : close + 1;
        }
        at = block.indexOf(u'\\', next);
        if (name.isEmpty())
            continue;
        for (const SPrefix& prefix : Prefixes) {
            if (!StartsWith(name, prefix.name))
                continue;
            if (prefix.takesTail) {
                QString tail = name.mid(static_cast<qsizetype>(prefix.name.size())).trimmed();
                if (prefix.hexTail)
                    tail = TrimHexMarks(tail);
                if (!tail.isEmpty())
                    args.append(tail);
            }
            commands.push_back({prefix.tag, prefix.name, std::move(args)});
            break;
        }
    }
    return commands;
}

std::int32_t ReadInt(QStringView text)
{
    bool negative = false;
    qsizetype at = SkipBlanksAndSign(text, negative);
    // One past the int32 range is enough to know the value saturates.
    constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t value = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at) {
        value = value * 10 + (text[at].unicode() - u'0');
        if (value > limit)
            value = limit;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);
}

double ReadReal(QStringView text)
{
    bool negative = false;
    const qsizetype start = SkipBlanksAndSign(text, negative);
    qsizetype at = start;
    while (at < text.size() && IsDigit(text[at]))
        ++at;
    if (at < text.size() && text[at] == u'.') {
        ++at;
        while (at < text.size() && IsDigit(text[at]))
            ++at;
    }
    const QString digits = text.mid(start, at - start).toString();
    bool ok = false;
    double value = digits.toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
        // Either nothing numeric, or so many digits that it overflowed.
        value = digits.isEmpty() || digits == u"." ? 0.0 : std::numeric_limits<double>::max();
    }
    constexpr double limit = std::numeric_limits<std::int32_t>::max();
    if (value > limit)
        value = limit;
    return negative ? -value : value;
}

std::uint32_t ReadHex(QStringView text)
{
    std::uint64_t value = 0;
    for (QChar digit : text) {
        const char16_t c = digit.unicode();
        int nibble = 0;
        if (c >= u'0' && c <= u'9')
            nibble = c - u'0';
        else if (c >= u'a' && c <= u'f')
            nibble = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            nibble = c - u'A' + 10;
        else
            break;
        value = value * 16 + static_cast<std::uint64_t>(nibble);
        if (value > 0xFFFFFFFFu)
            value = 0xFFFFFFFFu;
    }
    return static_cast<std::uint32_t>(value);
}

bool StartsWithNumber(QStringView text)
{
    bool negative = false;
    const qsizetype at = SkipBlanksAndSign(text, negative);
    return at < text.size() && IsDigit(text[at]);
}

std::string NarrowName(const QString& text)
{
    std::string narrow;
    narrow.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text)
        narrow.push_back(static_cast<char>(c.unicode() & 0xFF));
    return narrow;
}

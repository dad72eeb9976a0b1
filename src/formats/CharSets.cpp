#include "CharSets.h"

#include "platform/CodePages.h"

#include <string>

namespace {

constexpr char16_t MaxByte = 0xFF;

// The bytes of byte-valued text. Units above 0xFF are not bytes; they are
// left out here and kept as they are when decoding.
std::string ByteImage(QStringView text)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (QChar unit : text) {
        if (unit.unicode() <= MaxByte)
            bytes.push_back(static_cast<char>(unit.unicode()));
    }
    return bytes;
}

// What the default code page means for one text: the file's own code page
// when one is known; else UTF-8 when the whole text is valid UTF-8,
// otherwise the configured legacy code page. Decided once on the whole
// text, so that a short piece of a legacy text that happens to be valid
// UTF-8 is not decoded differently from the rest.
class CDefaultCodePage {
public:
    CDefaultCodePage(QStringView text, int fileCodePage)
        : Text(text), Resolved(fileCodePage != CodePageDefault ? fileCodePage : -1)
    {
    }

    int For(int charSet)
    {
        const int codePage = CodePageOfCharSet(charSet);
        if (codePage != CodePageDefault)
            return codePage;
        if (Resolved < 0)
            Resolved = ResolveCodePage(CodePageDefault, ByteImage(Text));
        return Resolved;
    }

private:
    QStringView Text;
    int Resolved;
};

bool IsLead(int codePage, QChar unit)
{
    return unit.unicode() <= MaxByte &&
           IsLeadByte(codePage, static_cast<unsigned char>(unit.unicode()));
}

// The character set named by the decimal digits at `at`; `fallback` when
// there are none. Long digit runs saturate (no such set exists anyway).
int CharSetDigits(QStringView text, qsizetype at, int fallback)
{
    constexpr int Saturated = 1 << 24;
    int value = 0;
    bool any = false;
    for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at) {
        any = true;
        if (value < Saturated)
            value = value * 10 + (text[at].unicode() - u'0');
    }
    return any ? value : fallback;
}

// Walks byte-valued text as its search does: a double-byte character is
// one step (`visit` gets its lead byte's index and true), and a font-encoding
// tag inside braces switches the code page for what follows. `visit`
// returns true to stop the walk.
template <typename FVisit>
void WalkByteText(QStringView text, int charSet, CDefaultCodePage& defaults, FVisit visit)
{
    int codePage = defaults.For(charSet);
    int depth = 0;
    const qsizetype length = text.size();
    for (qsizetype i = 0; i < length; ++i) {
        const QChar unit = text[i];
        if (IsLead(codePage, unit)) {
            if (visit(i, true))
                return;
            ++i;  // the follower is part of the same character
            continue;
        }
        if (visit(i, false))
            return;
        if (unit == u'{') {
            ++depth;
        } else if (depth > 0) {
            if (unit == u'}') {
                --depth;
            } else if (unit == u'e' && i > 2 && i < length - 1 && text[i - 1] == u'f' &&
                       text[i - 2] == u'\\') {
                codePage = defaults.For(CharSetDigits(text, i + 1, charSet));
            }
        }
    }
}

int FindByteChar(QStringView text, QChar ch, qsizetype from, int charSet,
                 CDefaultCodePage& defaults)
{
    int found = -1;
    WalkByteText(text, charSet, defaults, [&](qsizetype i, bool doubleByte) {
        if (doubleByte || i < from || text[i] != ch)
            return false;
        found = static_cast<int>(i);
        return true;
    });
    return found;
}

QString DecodeBytes(QStringView text, int charSet, CDefaultCodePage& defaults)
{
    const int codePage = defaults.For(charSet);
    QString result;
    result.reserve(text.size());
    qsizetype runStart = 0;
    auto flushRun = [&](qsizetype end) {
        if (end > runStart)
            result.append(
                DecodeCodePage(codePage, ByteImage(text.sliced(runStart, end - runStart))));
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].unicode() > MaxByte) {
            flushRun(i);
            result.append(text[i]);
            runStart = i + 1;
        }
    }
    flushRun(text.size());
    return result;
}

}  // namespace

int FindScriptChar(const QString& text, QChar ch, int from, bool unicodeText, int charSet,
                   int defaultCodePage)
{
    if (unicodeText) {
        if (from < 0 || from >= text.size())
            return -1;
        return static_cast<int>(text.indexOf(ch, from));
    }
    CDefaultCodePage defaults(text, defaultCodePage);
    return FindByteChar(text, ch, from, charSet, defaults);
}

std::vector<char> DoubleByteUnits(QStringView text, int charSet, int defaultCodePage)
{
    std::vector<char> hidden;
    CDefaultCodePage defaults(text, defaultCodePage);
    WalkByteText(text, charSet, defaults, [&](qsizetype i, bool doubleByte) {
        if (!doubleByte)
            return false;
        if (hidden.empty())
            hidden.assign(static_cast<std::size_t>(text.size()), 0);
        hidden[static_cast<std::size_t>(i)] = 1;
        if (i + 1 < text.size())
            hidden[static_cast<std::size_t>(i) + 1] = 1;
        return false;
    });
    return hidden;
}

QString DecodeWithCharSet(const QString& text, int charSet, int defaultCodePage)
{
    CDefaultCodePage defaults(text, defaultCodePage);
    return DecodeBytes(text, charSet, defaults);
}

QString DecodeScriptText(const QString& text, int charSet, int defaultCodePage)
{
    CDefaultCodePage defaults(text, defaultCodePage);
    int current = charSet;
    QString result;
    QStringView rest(text);
    while (!rest.isEmpty()) {
        const int open = FindByteChar(rest, u'{', 0, current, defaults);
        if (open < 0) {
            result.append(DecodeBytes(rest, current, defaults));
            break;
        }
        result.append(DecodeBytes(rest.first(open), current, defaults));
        rest = rest.sliced(open);

        const int close = FindByteChar(rest, u'}', 0, current, defaults);
        if (close < 0) {
            result.append(DecodeBytes(rest, current, defaults));
            break;
        }
        const qsizetype tag = rest.indexOf(QLatin1String("\\fe"));
        if (tag >= 0 && tag < close)
            current = CharSetDigits(rest, tag + 3, charSet);
        // The block itself is in the entry's own character set.
        result.append(DecodeBytes(rest.first(close + 1), charSet, defaults));
        rest = rest.sliced(close + 1);
    }
    return result;
}

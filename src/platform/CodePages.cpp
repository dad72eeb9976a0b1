#include "CodePages.h"

#include "SettingsStore.h"

#include <iconv.h>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace {

struct SCharSetCodePage {
    int CharSet;
    int CodePage;
};

constexpr SCharSetCodePage CharSetCodePages[] = {
    {0, 1252},   {1, CodePageDefault}, {2, CodePageSymbol}, {77, 10000}, {128, 932},
    {129, 949},  {130, 1361},          {134, 936},          {136, 950},  {161, 1253},
    {162, 1254}, {163, 1258},          {177, 1255},         {178, 1256}, {186, 1257},
    {204, 1251}, {222, 874},           {238, 1250},         {255, 437},
};

const char* IconvName(int codePage)
{
    switch (codePage) {
    case 437: return "CP437";
    case 855: return "CP855";
    case 866: return "CP866";
    case 874: return "CP874";
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case 1250: return "CP1250";
    case 1251: return "CP1251";
    case 1252: return "CP1252";
    case 1253: return "CP1253";
    case 1254: return "CP1254";
    case 1255: return "CP1255";
    case 1256: return "CP1256";
    case 1257: return "CP1257";
    case 1258: return "CP1258";
    case 1361: return "JOHAB";
    case 10000: return "MACINTOSH";
    case 10007: return "MAC-CYRILLIC";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 28592: return "ISO-8859-2";
    case 28595: return "ISO-8859-5";
    case 28596: return "ISO-8859-6";
    case 28597: return "ISO-8859-7";
    case 28598: return "ISO-8859-8";
    case 28599: return "ISO-8859-9";
    case 28603: return "ISO-8859-13";
    case 28605: return "ISO-8859-15";
    default: return nullptr;
    }
}

void AppendCodePoint(QString& out, char32_t c)
{
    if (QChar::requiresSurrogates(c)) {
        out.append(QChar(QChar::highSurrogate(c)));
        out.append(QChar(QChar::lowSurrogate(c)));
    } else {
        out.append(QChar(static_cast<char16_t>(c)));
    }
}

// One open iconv descriptor per code page, with the single bytes converted
// once up front.
class CConverter {
public:
    explicit CConverter(const char* name) : Descriptor(iconv_open("UTF-32LE", name))
    {
        for (int b = 0; b < 256; ++b) {
            // Every Windows code page keeps ASCII as it is; glibc's JOHAB
            // would turn the backslash of override tags into a won sign.
            Single[b] = b < 0x80 ? static_cast<char32_t>(b) : 0;
            if (b >= 0x80 && IsOpen()) {
                const char byte = static_cast<char>(b);
                char32_t out[4];
                if (Convert(&byte, 1, out) == 1)
                    Single[b] = out[0];
            }
        }
    }
    ~CConverter()
    {
        if (IsOpen())
            iconv_close(Descriptor);
    }
    CConverter(const CConverter&) = delete;
    CConverter& operator=(const CConverter&) = delete;

    // 0 for a byte that does not convert on its own.
    char32_t ConvertSingle(unsigned char byte) const { return Single[byte]; }

    // Appends the character of a lead byte and its follower; false when the
    // pair is not a character of the code page.
    bool AppendPair(const char* pair, QString& out)
    {
        char32_t chars[4];
        const int count = Convert(pair, 2, chars);
        for (int i = 0; i < count; ++i)
            AppendCodePoint(out, chars[i]);
        return count > 0;
    }

private:
    bool IsOpen() const { return Descriptor != reinterpret_cast<iconv_t>(-1); }

    // Converts exactly `size` bytes; the number of code points, 0 on failure.
    int Convert(const char* bytes, std::size_t size, char32_t (&out)[4])
    {
        if (!IsOpen())
            return 0;
        char* in = const_cast<char*>(bytes);
        std::size_t inLeft = size;
        char* to = reinterpret_cast<char*>(out);
        std::size_t toLeft = sizeof out;
        const std::size_t result = iconv(Descriptor, &in, &inLeft, &to, &toLeft);
        // Flushes a character held back for composition (CP1258) and
        // returns the descriptor to its initial state.
        const bool flushed = iconv(Descriptor, nullptr, nullptr, &to, &toLeft) != std::size_t(-1);
        iconv(Descriptor, nullptr, nullptr, nullptr, nullptr);
        if (result == std::size_t(-1) || inLeft != 0 || !flushed)
            return 0;
        return static_cast<int>((sizeof out - toLeft) / sizeof(char32_t));
    }

    iconv_t Descriptor;
    std::array<char32_t, 256> Single{};
};

// Descriptors are not shared between threads.
CConverter* ConverterFor(int codePage)
{
    thread_local std::unordered_map<int, std::unique_ptr<CConverter>> Converters;
    auto& slot = Converters[codePage];
    if (!slot)
        slot = std::make_unique<CConverter>(IconvName(codePage));
    return slot.get();
}

}  // namespace

int CodePageOfCharSet(int charSet)
{
    for (const auto& entry : CharSetCodePages) {
        if (entry.CharSet == charSet)
            return entry.CodePage;
    }
    return CodePageDefault;
}

bool IsKnownCodePage(int codePage)
{
    return codePage == CodePageSymbol || codePage == CodePageUtf8 || IconvName(codePage);
}

bool IsLeadByte(int codePage, unsigned char byte)
{
    if (codePage == CodePageDefault)
        codePage = LegacyDefaultCodePage();
    switch (codePage) {
    case 932: return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950: return byte >= 0x81 && byte <= 0xFE;
    case 1361:
        return (byte >= 0x84 && byte <= 0xD3) || (byte >= 0xD8 && byte <= 0xDE) ||
               (byte >= 0xE0 && byte <= 0xF9);
    default: return false;
    }
}

bool IsValidUtf8(std::string_view bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char b = *p;
        if (b < 0x80) {
            ++p;
            continue;
        }
        int length = 0;
        unsigned char low = 0x80, high = 0xBF;  // range of the second byte
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            if (b == 0xE0)
                low = 0xA0;  // no overlong forms
            if (b == 0xED)
                high = 0x9F;  // no surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            if (b == 0xF0)
                low = 0x90;
            if (b == 0xF4)
                high = 0x8F;  // nothing above U+10FFFF
        } else {
            return false;
        }
        if (end - p < length || p[1] < low || p[1] > high)
            return false;
        for (int i = 2; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
        }
        p += length;
    }
    return true;
}

int LegacyDefaultCodePage()
{
    // Read once per change of the settings: decoding runs for every entry.
    static std::mutex Lock;
    static std::uint64_t ReadAt = 0;
    static int Value = 1252;
    std::lock_guard lock(Lock);
    const std::uint64_t generation = SettingsGeneration();
    if (ReadAt != generation) {
        const int setting =
            ReadSettingInt(QStringLiteral("General"), QStringLiteral("Default Code Page"), 1252);
        Value = setting != CodePageDefault && IsKnownCodePage(setting) ? setting : 1252;
        ReadAt = generation;
    }
    return Value;
}

namespace {
std::atomic<int> Override{0};
}  // namespace

void SetCodePageOverride(int codePage)
{
    Override = codePage;
}

int CodePageOverride()
{
    return Override;
}

int ResolveCodePage(int codePage, std::string_view text)
{
    if (codePage != CodePageDefault && IsKnownCodePage(codePage))
        return codePage;
    return IsValidUtf8(text) ? CodePageUtf8 : LegacyDefaultCodePage();
}

QString DecodeCodePage(int codePage, std::string_view bytes)
{
    codePage = ResolveCodePage(codePage, bytes);
    if (codePage == CodePageUtf8)
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (codePage == CodePageSymbol)
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));

    CConverter& converter = *ConverterFor(codePage);
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (IsLeadByte(codePage, b) && i + 1 < bytes.size()) {
            // A pair that does not convert loses only its lead byte.
            i += converter.AppendPair(bytes.data() + i, out) ? 2 : 1;
            continue;
        }
        if (const char32_t c = converter.ConvertSingle(b); c != 0 || b == 0)
            AppendCodePoint(out, c);
        ++i;
    }
    return out;
}

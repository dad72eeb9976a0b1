#include "EmbeddedFonts.h"

#include "platform/FontInstall.h"

#include <QStringList>

#include <cstdint>

namespace {

bool IsBlankByte(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string Trimmed(const std::string& line)
{
    std::size_t first = 0;
    std::size_t last = line.size();
    while (first < last && IsBlankByte(line[first]))
        ++first;
    while (last > first && IsBlankByte(line[last - 1]))
        --last;
    return line.substr(first, last - first);
}

bool IsHeaderNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ' ||
           c == '+';
}

// The six bits a character stands for; characters outside the encoding
// wrap instead of failing, which the masks below keep harmless.
std::uint32_t SixBits(char c)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(c)) - 33u;
}

}  // namespace

bool IsSectionHeader(const std::string& line)
{
    if (line.size() < 3 || line.front() != '[' || line.back() != ']')
        return false;
    for (std::size_t i = 1; i + 1 < line.size(); ++i) {
        if (!IsHeaderNameChar(line[i]))
            return false;
    }
    return true;
}

std::vector<QByteArray> ReadEmbeddedFontBlock(CTextFile& file)
{
    std::vector<QByteArray> fonts;
    QByteArray font;
    std::string line;
    for (;;) {
        const std::int64_t lineStart = file.GetPosition();
        if (!file.ReadLineNarrow(line))
            break;
        line = Trimmed(line);
        if (line.empty())
            break;
        if (IsSectionHeader(line)) {
            // The next section belongs to the script, not to the fonts.
            file.Seek(lineStart, 0);
            break;
        }
        if (line.starts_with("fontname:")) {
            if (!font.isEmpty())
                fonts.push_back(font);
            font.clear();
            continue;
        }
        font.append(line.data(), static_cast<qsizetype>(line.size()));
    }
    if (!font.isEmpty())
        fonts.push_back(font);
    return fonts;
}

void InstallEmbeddedFonts(CTextFile& file)
{
    // A font that cannot be used is skipped; the script reads on.
    for (const QByteArray& font : ReadEmbeddedFontBlock(file))
        InstallFontData(font);
}

bool DecodeFontData(const QByteArray& encoded, QByteArray& decoded)
{
    decoded.clear();
    const qsizetype length = encoded.size();
    if (length == 0 || length % 4 == 1)
        return false;
    const qsizetype tail = length % 4;
    decoded.reserve(length / 4 * 3 + (tail == 0 ? 0 : tail - 1));
    const char* text = encoded.constData();
    auto byte = [](std::uint32_t value) { return static_cast<char>(value & 0xFFu); };
    qsizetype i = 0;
    for (; i + 4 <= length; i += 4) {
        const std::uint32_t a = SixBits(text[i]), b = SixBits(text[i + 1]);
        const std::uint32_t c = SixBits(text[i + 2]), d = SixBits(text[i + 3]);
        decoded.append(byte((a << 2) | ((b >> 4) & 3u)));
        decoded.append(byte((b << 4) | ((c >> 2) & 15u)));
        decoded.append(byte((c << 6) | (d & 63u)));
    }
    if (tail >= 2) {
        const std::uint32_t a = SixBits(text[i]), b = SixBits(text[i + 1]);
        decoded.append(byte((a << 2) | ((b >> 4) & 3u)));
        if (tail == 3) {
            const std::uint32_t c = SixBits(text[i + 2]);
            decoded.append(byte((b << 4) | ((c >> 2) & 15u)));
        }
    }
    return true;
}

bool InstallFontData(const QByteArray& encoded)
{
    QByteArray font;
    if (!DecodeFontData(encoded, font))
        return false;
    QStringList families;
    return InstallFontFromMemory(font, families);
}

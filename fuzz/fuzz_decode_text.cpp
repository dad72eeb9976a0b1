// Byte-valued script text decoded by character set, with font-encoding
// tags switching it: the first byte picks the entry's character set, the
// second the "Default Code Page" setting, the third whether the rest holds
// 16-bit units (UTF-16LE) instead of bytes.

#include "FuzzSupport.h"

#include "formats/CharSets.h"
#include "platform/CodePages.h"

#include <array>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    StartFuzzing(argc, argv, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Every character set with a code page, and a few without one.
    static constexpr std::array<int, 22> CharSets{0,   1,   2,   77,  128, 129, 130, 134,
                                                  136, 161, 162, 163, 177, 178, 186, 204,
                                                  222, 238, 255, 3,   86,  -1};
    static constexpr std::array<int, 11> DefaultCodePages{0,   936, 932,  949,   950, 1361,
                                                          874, 437, 1258, 65001, 42};
    const std::uint8_t charSetByte = TakeByte(data, size);
    const std::uint8_t codePageByte = TakeByte(data, size);
    const std::uint8_t shape = TakeByte(data, size);
    // The low bits of the first byte pick a listed set; with the high bit
    // the byte itself is the set.
    const int charSet = charSetByte & 0x80 ? charSetByte : CharSets[charSetByte % CharSets.size()];
    UseDefaultCodePage(DefaultCodePages[codePageByte % DefaultCodePages.size()]);

    QString text;
    if (shape & 1) {
        text.resize(static_cast<qsizetype>(size / 2));
        for (qsizetype i = 0; i < text.size(); ++i)
            text[i] = QChar(static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8));
    } else {
        text = ByteText(data, size);
    }

    DecodeScriptText(text, charSet);
    DecodeWithCharSet(text, charSet);
    DoubleByteUnits(text, charSet);
    const int from = static_cast<int>(shape >> 1) - 8;
    FindScriptChar(text, u'{', from, false, charSet);
    FindScriptChar(text, u'}', from, true, charSet);

    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    DecodeCodePage(CodePageOfCharSet(charSet), bytes);
    return 0;
}

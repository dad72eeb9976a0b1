// An entry's text with override blocks, laid out on a 1920x1080 frame:
// the input becomes the text of a dialogue line of a small SubStation
// script (its line breaks as backslash N), read by the script reader and
// laid out by the text engine. The first byte picks the wrap style, the
// effect field and whether the text is marked UTF-8 with a byte order
// mark. The text is also applied as one override block on its own.

#include "FuzzSupport.h"

#include "textengine/RenderedTextSubtitle.h"

#include <array>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    StartFuzzing(argc, argv, true);
    return 0;
}

namespace {

constexpr std::string_view Header =
    "[Script Info]\n"
    "ScriptType: v4.00+\n"
    "PlayResX: 1920\n"
    "PlayResY: 1080\n"
    "WrapStyle: %1\n"
    "\n"
    "[V4+ Styles]\n"
    "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, "
    "BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, "
    "BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n"
    "Style: Default,DejaVu Sans,48,&H00FFFFFF,&H000000FF,&H00000000,&H80000000,0,0,0,0,100,"
    "100,0,0,1,2,2,2,40,40,40,1\n"
    "Style: Sign,Liberation Sans,36,&H0000FFFF,&H000000FF,&H00101010,&H80000000,-1,-1,0,0,"
    "120,80,1.5,0,3,1,0,8,10,10,10,134\n"
    "\n"
    "[Events]\n"
    "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
    "Dialogue: 0,0:00:01.00,0:00:05.00,%2,,0,0,0,%3,";

constexpr std::array<std::string_view, 6> Effects{
    "", "Banner;5;1;10", "Scroll up;100;900;10", "Scroll down;900;100;4;2", "Karaoke", "Banner"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::uint8_t choice = TakeByte(data, size);
    const std::string_view effect = Effects[(choice >> 2) % Effects.size()];
    QByteArray script =
        QString::fromLatin1(Header.data(), static_cast<qsizetype>(Header.size()))
            .arg(choice & 3)
            .arg(choice & 0x40 ? "Sign" : "Default")
            .arg(QLatin1String(effect.data(), static_cast<qsizetype>(effect.size())))
            .toLatin1();
    if (choice & 0x80)
        script.prepend("\xEF\xBB\xBF");
    QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    text.replace("\r\n", "\\N").replace('\n', "\\N").replace('\r', "\\N");
    script.append(text).append('\n');

    const QString path = WriteInputFile(reinterpret_cast<const std::uint8_t*>(script.constData()),
                                        static_cast<std::size_t>(script.size()), ".ass");
    CRenderedTextSubtitle engine;
    if (!path.isEmpty() && engine.OpenScriptFile(path, 1, "")) {
        engine.SetEngineFrame(1920, 1080, {0, 0, 1920, 1080});
        for (int i = 0; i < static_cast<int>(engine.entries.size()); ++i)
            engine.LayoutEntry(i);
    }

    // The same text as one block, on a style of its own.
    STSStyle base;
    base.fontName = "DejaVu Sans";
    base.fontSize = 48;
    STSStyle current = base;
    CSubtitle subtitle;
    subtitle.screenAlignment = -1;
    engine.ApplyOverrideBlock(&subtitle, QString::fromUtf8(text), current, base, choice & 0x20);
    return 0;
}

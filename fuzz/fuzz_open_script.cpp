// A script file of any format, opened as a source opens it: every reader
// of the table in turn, then the side file, the default style and the
// style names; then each entry's style and text as the engine takes them.

#include "FuzzSupport.h"

#include "formats/SimpleTextSubtitle.h"

#include <array>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Embedded fonts of a script are installed into the font database.
    StartFuzzing(argc, argv, true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static constexpr std::array<std::string_view, 6> Extensions{".srt", ".ass", ".ssa",
                                                                ".sub", ".txt", ".smi"};
    const std::uint8_t choice = TakeByte(data, size);
    const QString path = WriteInputFile(data, size, Extensions[choice % Extensions.size()]);
    if (path.isEmpty())
        return 0;

    CSimpleTextSubtitle script;
    if (!script.OpenScriptFile(path, 1, ""))
        return 0;
    STSStyle style;
    for (int i = 0; i < static_cast<int>(script.entries.size()); ++i) {
        script.ResolveStyle(i, style);
        script.EntryCharSet(i);
        script.EntryText(i);
    }
    return 0;
}

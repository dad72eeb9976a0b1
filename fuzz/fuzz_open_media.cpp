// A file opened as a source opens it, FFmpeg included: our readers, then
// libavformat and libavcodec for the formats ours do not take and for the
// text tracks of video files, with the first byte choosing the name (and
// with it FFmpeg's guess) and a track.

#include "FuzzSupport.h"

#include "formats/ffmpeg/ScriptSources.h"

#include <array>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    StartFuzzing(argc, argv, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static constexpr std::array<std::string_view, 8> Extensions{".mkv", ".mp4", ".vtt", ".smi",
                                                                ".mpl", ".lrc", ".sbv", ".ttml"};
    const std::uint8_t choice = TakeByte(data, size);
    const QString path = WriteInputFile(data, size, Extensions[choice % Extensions.size()]);
    if (path.isEmpty())
        return 0;
    // The high bits ask for a stream by number now and then.
    const int track = (choice >> 3) % 4 - 1;
    CSimpleTextSubtitle script;
    OpenSubtitleScript(script, track < 0 ? path : path + "#" + QString::number(track));
    for (int i = 0; i < static_cast<int>(script.entries.size()); ++i)
        script.EntryText(i);
    return 0;
}

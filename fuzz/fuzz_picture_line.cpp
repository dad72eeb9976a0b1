// A picture file shown as a line: the first byte picks the file's
// extension (the reader Qt uses follows the contents, the name only
// hints), the second the video size, the third the picture mode and an
// explicit position.

#include "FuzzSupport.h"

#include "source/PictureLine.h"

#include <array>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    StartFuzzing(argc, argv, true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static constexpr std::array<std::string_view, 4> Extensions{".bmp", ".jpg", ".png", ".gif"};
    const std::uint8_t choice = TakeByte(data, size);
    const std::uint8_t videoSize = TakeByte(data, size);
    const std::uint8_t mode = TakeByte(data, size);
    const QString path = WriteInputFile(data, size, Extensions[choice % Extensions.size()]);
    if (path.isEmpty())
        return 0;

    SLineRequest request;
    request.videoSizeIndex = videoSize % 8;
    request.squeeze = videoSize & 0x80;
    request.pictureMode = mode & 1;
    if (mode & 2) {
        request.posX = mode >> 2;
        request.posY = mode >> 4;
    }
    // A fresh source's frame, or one an earlier picture line fixed.
    CSubBase::SFrameRect frame;
    if (mode & 0x80)
        frame = {0, 0, 720, 480};
    LoadImageLine(path, request, frame);
    return 0;
}

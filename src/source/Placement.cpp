#include "Placement.h"

#include "pgs/VideoFormats.h"

QPoint PlaceLineImage(QSize size, const SLineRequest& request, int offset, bool firstSource,
                      int direction, int alignment)
{
    const SVideoSize& frame = VideoSizeAt(request.videoSizeIndex);
    const int W = frame.Width;
    const int H = frame.Height;
    const int w = size.width();
    const int h = size.height();
    if (request.posX != 0 && request.posY != 0)
        return {request.posX, request.posY};

    const bool vertical = direction == DirectionVertical || (direction == DirectionAuto && h >= w);
    auto along = [alignment](int length, int extent) {
        if (alignment == AlignCenter)
            return (length - extent) / 2;
        if (alignment == AlignFar)
            return static_cast<int>(0.9 * length) - extent;
        return static_cast<int>(0.1 * length);
    };
    int x = 0;
    int y = 0;
    if (vertical) {
        x = firstSource ? offset : W - w - offset;
        y = along(H, h);
    } else {
        y = firstSource ? offset : H - h - offset;
        x = along(W, w);
    }
    if (request.posX != 0)
        x = vertical && !firstSource ? W - request.posX - w : request.posX;
    if (request.posY != 0)
        y = vertical || firstSource ? request.posY : H - request.posY - h;
    return {x, y};
}

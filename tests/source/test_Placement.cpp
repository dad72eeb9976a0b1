#include "source/Placement.h"

#include <gtest/gtest.h>

TEST(Placement, CornersByDirectionAlignmentAndSource)
{
    struct Case {
        const char* Name;
        int VideoSize;
        QSize Picture;
        int Offset;
        bool First;
        int Direction;
        int Alignment;
        int PosX, PosY;
        QPoint Corner;
    } cases[] = {
        // clang-format off
        {"bottom, centred", 0, {600, 80}, 100, false, DirectionHorizontal, AlignCenter, 0, 0, {660, 900}},
        {"top, centred", 0, {600, 80}, 100, true, DirectionHorizontal, AlignCenter, 0, 0, {660, 100}},
        {"near edge at 10 %", 0, {600, 80}, 100, false, DirectionHorizontal, AlignNear, 0, 0, {192, 900}},
        {"far edge at 90 %", 0, {600, 80}, 100, false, DirectionHorizontal, AlignFar, 0, 0, {1128, 900}},
        {"unknown alignment is near", 0, {600, 80}, 100, false, DirectionHorizontal, 7, 0, 0, {192, 900}},
        {"odd width rounds down", 0, {601, 80}, 100, true, DirectionHorizontal, AlignCenter, 0, 0, {659, 100}},
        {"auto, tall picture, right border", 0, {100, 300}, 50, false, DirectionAuto, AlignCenter, 0, 0, {1770, 390}},
        {"auto, square picture is vertical", 0, {200, 200}, 50, true, DirectionAuto, AlignNear, 0, 0, {50, 108}},
        {"auto, wide picture is horizontal", 0, {300, 100}, 50, true, DirectionAuto, AlignFar, 0, 0, {1428, 50}},
        {"vertical, left border, far", 0, {100, 300}, 40, true, DirectionVertical, AlignFar, 0, 0, {40, 672}},
        {"720 x 576 frame", 4, {300, 60}, 30, false, DirectionHorizontal, AlignCenter, 0, 0, {210, 486}},
        {"both explicit", 0, {600, 80}, 100, false, DirectionHorizontal, AlignCenter, 33, 44, {33, 44}},
        {"explicit x keeps y", 0, {600, 80}, 100, false, DirectionHorizontal, AlignCenter, 50, 0, {50, 900}},
        {"explicit y, bottom source, from the bottom", 0, {600, 80}, 100, false, DirectionHorizontal, AlignCenter, 0, 60, {660, 940}},
        {"explicit y, top source", 0, {600, 80}, 100, true, DirectionHorizontal, AlignCenter, 0, 60, {660, 60}},
        {"explicit x, vertical second source, from the right", 0, {100, 300}, 50, false, DirectionVertical, AlignCenter, 70, 0, {1750, 390}},
        {"explicit y, vertical picture", 0, {100, 300}, 50, false, DirectionVertical, AlignCenter, 0, 70, {1770, 70}},
        // clang-format on
    };
    for (const Case& c : cases) {
        SLineRequest request;
        request.videoSizeIndex = c.VideoSize;
        request.posX = c.PosX;
        request.posY = c.PosY;
        EXPECT_EQ(PlaceLineImage(c.Picture, request, c.Offset, c.First, c.Direction, c.Alignment),
                  c.Corner)
            << c.Name;
    }
}

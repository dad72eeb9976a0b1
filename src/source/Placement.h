#pragma once
// Where a line picture goes on the video frame: against the top or left
// border for the first source, the bottom or right border for the second,
// along the border by the alignment, unless the line has its own position.

#include "SubBase.h"

#include <QPoint>
#include <QSize>

enum EDirection { DirectionHorizontal = 0, DirectionVertical = 1, DirectionAuto = 2 };
enum EAlignment { AlignNear = 0, AlignCenter = 1, AlignFar = 2 };

// The top-left corner of a picture of `size` for the request's video size.
// `offset` is the distance from the border; `firstSource` is set for the
// top/left source.
QPoint PlaceLineImage(QSize size, const SLineRequest& request, int offset, bool firstSource,
                      int direction, int alignment);

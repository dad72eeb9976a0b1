#pragma once
// The shape of a drawing-mode word: its drawing commands as a path.

#include <QPainterPath>
#include <QString>

// "m" moves (closing the figure before), "n" moves without closing, "l"
// draws lines, "b" cubic curves, "s" a spline through the points that
// follow, "p" extends it and "c" closes it. Coordinates are multiplied by
// (scaleX, scaleY). Every figure is closed, as a filled shape; numbers
// that make no whole point are ignored. An empty path when nothing draws.
QPainterPath DrawingPath(const QString& commands, double scaleX, double scaleY);

#pragma once
// Anti-aliased coverage of a filled path: for every pixel of an area, the
// share of it the path covers, as a byte. The exact area of the flattened
// outline is accumulated per pixel, so it is what Qt's anti-aliased fill
// paints, without Qt's raster engine and its thread pool, which on the
// many small fills of a build cost more in waking threads than they save.

#include <QImage>
#include <QPainterPath>
#include <QRect>

// The coverage of `path` (in the coordinates of `area`'s own space) over
// `area`, by the path's fill rule, as a Format_Alpha8 picture of the area's
// size. Parts of the path outside the area are cut off; null when the area
// is empty or too big to hold.
QImage CoverPath(const QPainterPath& path, const QRect& area);

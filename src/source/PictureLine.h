#pragma once
// Picture lines: a picture file shown as a line. The picture is scaled to
// the video size against the source's reference frame and its background
// is made transparent; low-resolution palette pictures that must grow a
// lot are re-drawn as outlined shapes instead, which keeps the glyphs
// sharp (white with a black border).

#include "source/SubBase.h"

#include <QImage>
#include <QRect>
#include <QString>

// Loads the picture at `path` for the request's video size and stores the
// result (null = the line shows nothing) in `request.image`. The first
// picture line fixes `imageFrame`. An explicit position in the request
// (`posX` or `posY` non-zero) makes the picture its own reference frame.
// False, with a message to the user, when the file gives no picture.
bool LoadImageLine(const QString& path, SLineRequest& request, CSubBase::SFrameRect& imageFrame);

// Nearest-neighbour scaling of the whole picture (`whole`) or of its inked
// rectangle, keyed: bluish-black pixels and the key colour become fully
// transparent. Null when there is nothing to show.
QImage ScalePicture(const QImage& picture, float scale, bool whole);

// Re-draws the glyphs of a palette picture (1-, 4- or 8-bit) as white
// shapes with a black border, with a 2-pixel margin in source pixels.
// Null for a picture without a palette.
QImage RedrawPicture(const QImage& picture, float scale);

// The background colour of a picture, judged from its corners.
QRgb FindKeyColour(const QImage& picture);

// The smallest rectangle holding every pixel that differs from the
// top-left one (by palette index for palette pictures); empty when none.
QRect FindInkedRect(const QImage& picture);

#pragma once
// The paint that fills the glyphs of a text line, made from the style each
// time a line is drawn. Every brush is anchored at the origin of the line
// picture: hatch cells and texture tiles repeat from (0, 0), and the
// gradient repeats outside its rectangle.

#include "source/LineStyle.h"

#include <QBrush>
#include <QImage>

#include <cstdint>
#include <memory>

// `TextColor`, `TextColor2`, `HatchStyle`, `LgMode`, `LgRect` and
// `TextureImage` of `style` per its `BrushType`. None for an unknown brush
// type or hatch style. A texture picture that no longer opens gives a
// brush that paints nothing (Qt::NoBrush), so the text keeps its outline.
std::unique_ptr<QBrush> CreateBrush(const CTextTmp& style);

std::unique_ptr<QBrush> CreateSolidBrush(std::uint32_t argb);
// Foreground where the cell's bit is set, background elsewhere.
std::unique_ptr<QBrush> CreateHatchBrush(int hatchStyle, std::uint32_t foreground,
                                         std::uint32_t background);

// The gradient directions `LgMode` names.
enum ELgMode : std::uint8_t {
    LgHorizontal = 0,        // left edge to right edge of the rectangle
    LgVertical = 1,          // top edge to bottom edge
    LgForwardDiagonal = 2,   // top-left corner to bottom-right corner
    LgBackwardDiagonal = 3,  // top-right corner to bottom-left corner
};

// From `start` to `end` along the direction of `mode` across `rect`,
// starting over at the start colour beyond the end (and before the start).
// A mode above 3 runs horizontally. A rectangle without extent in the
// gradient's direction gives the start colour everywhere.
std::unique_ptr<QBrush> CreateGradientBrush(const SLgRect& rect, int mode, std::uint32_t start,
                                            std::uint32_t end);

std::unique_ptr<QBrush> CreateTextureBrush(const QImage& picture);

// The 8 x 8 cell picture of a hatch style in the two colours (straight
// ARGB); a null picture for an unknown style.
QImage HatchCellImage(int hatchStyle, std::uint32_t foreground, std::uint32_t background);

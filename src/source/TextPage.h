#pragma once
// One text line laid out for drawing: words in rows (or columns, for a
// vertical font), measured from their glyph outlines. A page is built for
// one rendering and thrown away after it.

#include "source/LineStyle.h"
#include "source/TextEffects.h"

#include <QPainterPath>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class CLine;
class QFont;

// The style bits of a word.
enum ETextWordStyle : int {
    TextWordBold = 1,
    TextWordItalic = 2,
    TextWordUnderline = 4,
    TextWordStrikeout = 8,
};

// How the glyphs of a word run: one unwrapped run, aligned near.
struct STextLayout {
    bool vertical = false;  // glyphs upright, one under the other
};

struct STextWord {
    QString text;    // never empty
    QString family;  // empty when the style's family is not installed
    int style = 0;   // ETextWordStyle bits
    int size = 0;    // em size in pixels
    STextLayout layout;
    // A drawing-mode word: `shape` is drawn instead of glyphs of `text`.
    bool drawing = false;
    QPainterPath shape;
    float width = 0.0f;  // 0 until measured
    float height = 0.0f;

    // The box of the glyph outlines, reaching back to the run's origin and
    // on to the advance of trailing spaces, grown by `allowance`; a word of
    // spaces only is as wide as their advance. A drawing's box is the
    // shape's own. False for a word without a family or without a usable
    // size, and for a drawing that draws nothing; `failure` says which.
    bool Measure(QPainter& graphics, bool vertical, int allowance, QString* failure = nullptr);
    // The glyph outlines as measured, with the run's origin at (x, y).
    void AddToPath(QPainterPath& path, float x, float y) const;

    QFont Font() const;

private:
    QPainterPath outline_;  // made by Measure, run origin at (0, 0)
};

// One row of a page (a column on a vertical page).
class CTextLine : public std::vector<std::unique_ptr<STextWord>> {
public:
    // The drawable words of an engine row, with the style's family and
    // size and the word's own bold, italic, underline and strike-out.
    // Drawing words become shapes of their drawing commands.
    void AddWords(const CLine& row, const CTextTmp& style, bool vertical);
    bool Measure(QPainter& graphics, bool vertical, int allowance, QString* failure = nullptr);
    // The words from the row's start at (x, y); neighbouring word boxes
    // share the outline's allowance.
    bool AddToPath(QPainterPath& path, bool vertical, float x, float y) const;

    int lineSpacing = 0;         // pixels after this row when another follows
    std::uint8_t alignment = 0;  // 0 Near, 1 Center, 2 Far
    float width = 0.0f;
    float height = 0.0f;

private:
    float overlap_ = 0.0f;  // how far neighbouring word boxes overlap
};

class CTextPage : public CTextPageBase, public std::vector<std::unique_ptr<CTextLine>> {
public:
    bool HasRows() const override { return !empty(); }
    bool Measure(QPainter& graphics, int allowance) override;
    float Width() const override { return width; }
    float Height() const override { return height; }
    bool AddToPath(QPainterPath& path, float x, float y) const override;

    bool vertical = false;
    bool leftToRight = true;  // vertical pages: the first row is the rightmost column
    float width = 0.0f;
    float height = 0.0f;
    // Why the last `Measure` failed, for the user.
    QString failure;
};

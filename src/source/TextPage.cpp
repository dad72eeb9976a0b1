#include "source/TextPage.h"

#include "textengine/DrawingPath.h"
#include "textengine/EngineWords.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// No frame shows a glyph larger than this; bigger style sizes measure as
// this and are then refused as too big for the frame.
constexpr float MaxWordSize = 16384.0f;

float AlignedOffset(std::uint8_t alignment, float room)
{
    switch (alignment) {
    case 1: return room / 2.0f;
    case 2: return room;
    default: return 0.0f;
    }
}

// Whether a family can draw. Metric twins stand in for some common
// families through fontconfig aliases ("Arial" is Liberation Sans here):
// such a name resolves to its twin, while a name nothing knows resolves to
// the same default as any other unknown name.
bool FamilyExists(const QString& family)
{
    if (family.isEmpty())
        return false;
    if (QFontDatabase::hasFamily(family))
        return true;
    static const QString unknown =
        QFontInfo(QFont(QStringLiteral("Tandeo No Such Family 7f3a"))).family();
    return QFontInfo(QFont(family)).family().compare(unknown, Qt::CaseInsensitive) != 0;
}

// The glyphs of a vertical run: one per code point, each under the one
// before, centred across the widest advance.
QPainterPath VerticalOutline(const QFont& font, const QString& text)
{
    const QFontMetricsF metrics(font);
    std::vector<QString> glyphs;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype n =
            (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2
                                                                                               : 1;
        glyphs.push_back(text.mid(i, n));
        i += n - 1;
    }
    qreal widest = 0;
    for (const QString& glyph : glyphs)
        widest = std::max(widest, metrics.horizontalAdvance(glyph));
    QPainterPath path;
    qreal y = 0;
    for (const QString& glyph : glyphs) {
        path.addText(QPointF((widest - metrics.horizontalAdvance(glyph)) / 2, y + metrics.ascent()),
                     font, glyph);
        y += metrics.height();
    }
    return path;
}

}  // namespace

QFont STextWord::Font() const
{
    QFont font;
    font.setFamilies({family});
    if (size > 0)
        font.setPixelSize(size);
    font.setWeight((style & TextWordBold) ? QFont::Bold : QFont::Normal);
    font.setItalic((style & TextWordItalic) != 0);
    font.setUnderline((style & TextWordUnderline) != 0);
    font.setStrikeOut((style & TextWordStrikeout) != 0);
    return font;
}

bool STextWord::Measure(QPainter& /*graphics*/, bool vertical, int allowance, QString* failure)
{
    const auto fail = [failure](const QString& why) {
        if (failure)
            *failure = why;
        return false;
    };
    width = height = 0.0f;
    outline_ = QPainterPath();
    if (drawing) {
        if (shape.isEmpty())
            return fail(QStringLiteral("the drawing \"%1\" draws nothing").arg(text));
        // The picture holds the shape, not the empty room up to its origin.
        const QRectF box = shape.boundingRect();
        outline_ = shape.translated(-box.left(), -box.top());
        width = static_cast<float>(box.width()) + static_cast<float>(std::max(allowance, 0));
        height = static_cast<float>(box.height()) + static_cast<float>(std::max(allowance, 0));
        return true;
    }
    if (family.isEmpty())
        return fail(QStringLiteral("no installed font can draw \"%1\"").arg(text));
    if (size <= 0 || text.isEmpty())
        return fail(QStringLiteral("the font size %1 cannot be drawn").arg(size));
    const QFont font = Font();
    const QFontMetricsF metrics(font);
    if (layout.vertical) {
        outline_ = VerticalOutline(font, text);
    } else {
        // Qt puts the baseline at the point; the run's origin is the top
        // of the line cell.
        outline_.addText(QPointF(0, metrics.ascent()), font, text);
    }
    // Spaces have no outline, but they keep their room: a space before a
    // word of another style is the gap between the two.
    qsizetype kept = text.size();
    while (kept > 0 && text[kept - 1].isSpace())
        --kept;
    const QString trailing = text.mid(kept);
    // Qt keeps a lone move to the origin in a path without glyphs.
    if (outline_.isEmpty()) {
        outline_ = QPainterPath();
        if (layout.vertical) {
            width = static_cast<float>(metrics.horizontalAdvance(QLatin1Char(' ')));
            height = static_cast<float>(metrics.height() * static_cast<qreal>(text.size()));
        } else {
            width = static_cast<float>(metrics.horizontalAdvance(text));
            height = static_cast<float>(metrics.lineSpacing());
        }
    } else {
        qreal minX = std::numeric_limits<qreal>::max(), minY = minX;
        qreal maxX = std::numeric_limits<qreal>::lowest(), maxY = maxX;
        for (int i = 0; i < outline_.elementCount(); ++i) {
            const QPainterPath::Element e = outline_.elementAt(i);
            minX = std::min(minX, e.x);
            minY = std::min(minY, e.y);
            maxX = std::max(maxX, e.x);
            maxY = std::max(maxY, e.y);
        }
        if (!trailing.isEmpty()) {
            if (layout.vertical)
                maxY = std::max(maxY, metrics.height() * static_cast<qreal>(text.size()));
            else
                maxX = std::max(maxX, metrics.horizontalAdvance(text));
        }
        width = static_cast<float>(maxX + (minX < 0 ? -minX : 0));
        height = static_cast<float>(maxY + (minY < 0 ? -minY : 0));
        if (!vertical)
            height = std::max(height, static_cast<float>(metrics.lineSpacing()));
    }
    if (allowance > 0) {
        width += static_cast<float>(allowance);
        height += static_cast<float>(allowance);
    }
    return true;
}

void STextWord::AddToPath(QPainterPath& path, float x, float y) const
{
    path.addPath(outline_.translated(x, y));
}

void CTextLine::AddWords(const CLine& row, const CTextTmp& style, bool vertical)
{
    STextLayout layout;
    layout.vertical = vertical;
    QString family = style.FamilyName();
    if (!FamilyExists(family))
        family.clear();
    const float size =
        std::isfinite(style.FontSize) ? std::clamp(style.FontSize, 0.0f, MaxWordSize) : 0.0f;
    for (const auto& word : row.words) {
        if (!word || word->text.isEmpty())
            continue;
        auto out = std::make_unique<STextWord>();
        if (word->kind == EWordKind::Polygon) {
            const auto& polygon = static_cast<const CPolygon&>(*word);
            out->drawing = true;
            out->shape = DrawingPath(word->text, polygon.scaleX * word->style.scaleX / 100,
                                     polygon.scaleY * word->style.scaleY / 100);
        } else if (word->kind != EWordKind::Text) {
            continue;
        }
        out->text = word->text;
        out->family = family;
        out->size = static_cast<int>(size);
        out->layout = layout;
        out->style = (word->style.weight == 700 ? TextWordBold : 0) |
                     (word->style.italic ? TextWordItalic : 0) |
                     (word->style.underline ? TextWordUnderline : 0) |
                     (word->style.strikeOut ? TextWordStrikeout : 0);
        push_back(std::move(out));
    }
}

bool CTextLine::Measure(QPainter& graphics, bool vertical, int allowance, QString* failure)
{
    width = height = 0.0f;
    // The outline's room is needed once at each end of the row, not
    // between its words: words follow each other as the letters of one
    // word do, so that a tag in the middle of a line moves nothing.
    overlap_ = static_cast<float>(std::max(allowance, 0));
    for (const auto& word : *this) {
        if (!word->Measure(graphics, vertical, allowance, failure))
            return false;
        if (vertical) {
            height += word->height;
            width = std::max(width, word->width);
        } else {
            width += word->width;
            height = std::max(height, word->height);
        }
    }
    const float shared = overlap_ * static_cast<float>(size() > 1 ? size() - 1 : 0);
    if (vertical)
        height -= shared;
    else
        width -= shared;
    return true;
}

bool CTextLine::AddToPath(QPainterPath& path, bool vertical, float x, float y) const
{
    for (const auto& word : *this) {
        if (vertical) {
            word->AddToPath(path, x + (width - word->width) / 2.0f, y);
            y += word->height - overlap_;
        } else {
            // Words of different heights share the row's bottom.
            word->AddToPath(path, x, y + (height - word->height));
            x += word->width - overlap_;
        }
    }
    return true;
}

bool CTextPage::Measure(QPainter& graphics, int allowance)
{
    width = height = 0.0f;
    failure.clear();
    float across = 0.0f, along = 0.0f;
    for (std::size_t i = 0; i < size(); ++i) {
        CTextLine& row = *(*this)[i];
        if (!row.Measure(graphics, vertical, allowance, &failure))
            return false;
        const float spacing = i + 1 < size() ? static_cast<float>(row.lineSpacing) : 0.0f;
        if (vertical) {
            along += row.width + spacing;
            across = std::max(across, row.height);
        } else {
            along += row.height + spacing;
            across = std::max(across, row.width);
        }
    }
    width = vertical ? along : across;
    height = vertical ? across : along;
    return true;
}

bool CTextPage::AddToPath(QPainterPath& path, float x, float y) const
{
    if (vertical) {
        float left = leftToRight ? x + width : x;
        for (const auto& row : *this) {
            if (leftToRight)
                left -= row->width;
            const float top = y + AlignedOffset(row->alignment, height - row->height);
            if (!row->AddToPath(path, true, left, top))
                return false;
            left += leftToRight ? -static_cast<float>(row->lineSpacing)
                                : row->width + static_cast<float>(row->lineSpacing);
        }
        return true;
    }
    float top = y;
    for (const auto& row : *this) {
        const float left = x + AlignedOffset(row->alignment, width - row->width);
        if (!row->AddToPath(path, false, left, top))
            return false;
        top += row->height + static_cast<float>(row->lineSpacing);
    }
    return true;
}

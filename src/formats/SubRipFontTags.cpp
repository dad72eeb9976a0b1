#include "SubRipText.h"

#include <QColor>
#include <QRegularExpression>

#include <optional>
#include <vector>

namespace {

// What one "<font>" tag sets; unset parts are the enclosing tag's.
struct SFontTag {
    std::optional<QString> colour;  // override argument, "&HBBGGRR&"
    std::optional<QString> size;
    std::optional<QString> face;
};

QString ColourArgument(const QString& value)
{
    QColor colour = QColor::fromString(value.trimmed());
    // Some files leave out the "#" of a hexadecimal colour.
    if (!colour.isValid())
        colour = QColor::fromString(QStringLiteral("#") + value.trimmed());
    if (!colour.isValid())
        return {};
    return QString::asprintf("&H%02X%02X%02X&", colour.blue(), colour.green(), colour.red());
}

SFontTag ReadFontTag(const QString& attributes)
{
    static const QRegularExpression attribute(
        QStringLiteral(R"re(([A-Za-z-]+)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s"']+)))re"));
    SFontTag tag;
    auto it = attribute.globalMatch(attributes);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString name = m.captured(1).toLower();
        QString value = m.captured(2);
        if (value.isEmpty())
            value = m.captured(3);
        if (value.isEmpty())
            value = m.captured(4);
        if (name == u"color") {
            const QString colour = ColourArgument(value);
            if (!colour.isEmpty())
                tag.colour = colour;
        } else if (name == u"size") {
            bool ok = false;
            const double size = value.trimmed().toDouble(&ok);
            if (ok && size > 0 && size < 10000)
                tag.size = QString::number(static_cast<int>(size + 0.5));
        } else if (name == u"face") {
            const QString face = value.trimmed();
            // A face name cannot hold the characters that end a tag.
            if (!face.isEmpty() && !face.contains(u'\\') && !face.contains(u'}'))
                tag.face = face;
        }
    }
    return tag;
}

// The block that returns to the state below `closed` on the stack.
QString Restore(const SFontTag& closed, const std::vector<SFontTag>& below)
{
    const auto enclosing = [&below](std::optional<QString> SFontTag::*part) -> QString {
        for (auto it = below.rbegin(); it != below.rend(); ++it) {
            if ((*it).*part)
                return *((*it).*part);
        }
        return {};
    };
    QString block;
    if (closed.colour)
        block += QStringLiteral("\\c") + enclosing(&SFontTag::colour);
    if (closed.size)
        block += QStringLiteral("\\fs") + enclosing(&SFontTag::size);
    if (closed.face)
        block += QStringLiteral("\\fn") + enclosing(&SFontTag::face);
    return block.isEmpty() ? QString() : QStringLiteral("{") + block + QStringLiteral("}");
}

}  // namespace

QString FontTagsToOverrides(const QString& text)
{
    // A tag is "<", an optional "/", a name that starts with a letter, and
    // anything up to ">" that is not another "<": "<3" and "a < b" are text.
    static const QRegularExpression tagPattern(
        QStringLiteral(R"(<\s*(/?)\s*([A-Za-z][A-Za-z0-9]*)([^<>]*)>)"));
    QString out;
    std::vector<SFontTag> fonts;
    qsizetype from = 0;
    auto it = tagPattern.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(text).mid(from, m.capturedStart() - from);
        from = m.capturedEnd();
        const bool closing = !m.captured(1).isEmpty();
        const QString name = m.captured(2).toLower();
        if (name == u"font") {
            if (!closing) {
                const SFontTag tag = ReadFontTag(m.captured(3));
                QString block;
                if (tag.colour)
                    block += QStringLiteral("\\c") + *tag.colour;
                if (tag.size)
                    block += QStringLiteral("\\fs") + *tag.size;
                if (tag.face)
                    block += QStringLiteral("\\fn") + *tag.face;
                if (!block.isEmpty())
                    out += QStringLiteral("{") + block + QStringLiteral("}");
                fonts.push_back(tag);
            } else if (!fonts.empty()) {
                const SFontTag closed = fonts.back();
                fonts.pop_back();
                out += Restore(closed, fonts);
            }
        } else if (name == u"i" || name == u"b" || name == u"u" || name == u"s") {
            out += QStringLiteral("{\\") + name + (closing ? QString() : QStringLiteral("1")) +
                   QStringLiteral("}");
        }
        // Other tags ("<span>", "<ruby>", "<br>" ...) show nothing.
    }
    out += QStringView(text).mid(from);
    return out;
}

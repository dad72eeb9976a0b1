#include "SimpleTextSubtitle.h"

#include "CharSets.h"
#include "Numbers.h"
#include "ReaderText.h"
#include "platform/UserMessages.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <stdexcept>

namespace {

const std::string DefaultStyleName = "Default";

// The next free numbered name for a style that has to make room: "Sign10"
// goes to "Sign11", "Default" to "Default2".
std::string FreeNumberedName(const std::string& name, const CSTSStyleMap& styles)
{
    std::size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9')
        --digits;
    std::string base = name;
    long long n = 1;
    const std::size_t run = name.size() - digits;
    // A run too long for a number is part of the base.
    if (run > 0 && run <= 9) {
        base = name.substr(0, digits);
        n = std::stoll(name.substr(digits));
    }
    for (long long k = n + 1;; ++k) {
        std::string candidate = base + std::to_string(k);
        if (styles.find(candidate) == styles.end())
            return candidate;
    }
}

}  // namespace

void STSStyle::ResetToDefaults()
{
    margins = {20, 20, 20, 20};
    alignment = 2;
    borderStyle = 0;
    outlineX = outlineY = 2.0;
    shadowX = shadowY = 3.0;
    colours = {0xFFFFFF, 0x00FFFF, 0, 0};
    alphas = {0, 0, 0, 0x80};
    charSet = 1;
    fontName = "Arial";
    fontSize = 24.0;
    scaleX = scaleY = 100.0;
    spacing = 0.0;
    weight = 700;
    italic = underline = strikeOut = false;
    edgeBlur = 0;
    gaussBlur = 0.0;
    angleZ = angleX = angleY = 0.0;
    shearX = shearY = 0.0;
    positionBase = 2;
}

bool SameFont(const STSStyle& a, const STSStyle& b)
{
    return a.charSet == b.charSet && a.fontName == b.fontName && a.fontSize == b.fontSize &&
           a.scaleX == b.scaleX && a.scaleY == b.scaleY && a.spacing == b.spacing &&
           a.weight == b.weight && a.italic == b.italic && a.underline == b.underline &&
           a.strikeOut == b.strikeOut && a.angleZ == b.angleZ && a.angleX == b.angleX &&
           a.angleY == b.angleY;
}

bool SameStyle(const STSStyle& a, const STSStyle& b)
{
    return a.margins == b.margins && a.alignment == b.alignment && a.borderStyle == b.borderStyle &&
           a.outlineX == b.outlineX && a.outlineY == b.outlineY && a.shadowX == b.shadowX &&
           a.shadowY == b.shadowY && a.colours == b.colours && a.alphas == b.alphas &&
           a.edgeBlur == b.edgeBlur && a.gaussBlur == b.gaussBlur &&
           a.positionBase == b.positionBase && SameFont(a, b);
}

void ToFontDescription(const STSStyle& style, SFontDescription& out)
{
    out.charSet = static_cast<std::uint8_t>(style.charSet & 0xFF);
    out.faceName = style.fontName.substr(0, 31);
    // Scripts can ask for any size, "inf" included; the height stays a number.
    out.height = SaturatedInt(style.fontSize + 0.5);
    out.weight = style.weight;
    out.italic = style.italic ? 255 : 0;
    out.underline = style.underline ? 255 : 0;
    out.strikeOut = style.strikeOut ? 255 : 0;
}

void CSimpleTextSubtitle::Clear()
{
    entries.clear();
    styles.clear();
    videoSize = {};
    frameRate = 0;
    framesPerSecond = 0;
    readWarnings.clear();
}

void CSimpleTextSubtitle::WarnAtLine(int line, const char* what)
{
    readWarnings.push_back(QString::asprintf("line %d: %s", line, what));
}

std::optional<std::int32_t> CSimpleTextSubtitle::ClampedReadTime(std::int64_t time, int line)
{
    if (time > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    if (time >= 0)
        return static_cast<std::int32_t>(time);
    const QString warning = QString::asprintf("line %d: negative time clamped to 0", line);
    if (readWarnings.empty() || readWarnings.back() != warning)
        readWarnings.push_back(warning);
    return 0;
}

void CSimpleTextSubtitle::AddEntry(const QString& text, bool unicodeText, std::int32_t start,
                                   std::int32_t end, const std::string& style,
                                   const std::string& actor, const std::string& effect,
                                   std::int32_t layer, const SMargins& margins,
                                   std::int32_t readOrder)
{
    QString stored = TrimmedLine(text, unicodeText).toString();
    if (stored.isEmpty() || start > end)
        return;
    stored.remove(QChar('\r'));
    stored.replace(QChar('\n'), QStringLiteral("\\N"));

    std::string styleName = style.empty() ? DefaultStyleName : style;
    const std::size_t stars = styleName.find_first_not_of('*');
    styleName.erase(0, stars == std::string::npos ? styleName.size() : stars);

    STSEntry entry;
    entry.text = std::move(stored);
    entry.unicodeText = unicodeText;
    entry.style = std::move(styleName);
    entry.actor = actor;
    entry.effect = effect;
    entry.margins = margins;
    entry.layer = layer;
    entry.start = start;
    entry.end = end;
    entry.readOrder = readOrder < 0 ? static_cast<std::int32_t>(entries.size()) : readOrder;
    entries.push_back(std::move(entry));
}

void CSimpleTextSubtitle::RegisterStyle(std::string name, std::unique_ptr<STSStyle> style)
{
    if (!style)
        return;
    if (name.empty())
        name = DefaultStyleName;
    const auto found = styles.find(name);
    if (found == styles.end()) {
        styles.emplace(std::move(name), std::move(style));
        return;
    }
    if (SameStyle(*found->second, *style))
        return;

    const std::string moved = FreeNumberedName(name, styles);
    std::unique_ptr<STSStyle> old = std::move(found->second);
    styles.erase(found);
    styles.emplace(moved, std::move(old));
    for (STSEntry& entry : entries) {
        if (entry.style == name)
            entry.style = moved;
    }
    styles.emplace(std::move(name), std::move(style));
}

STSStyle* CSimpleTextSubtitle::EnsureDefaultStyle(std::int32_t charSet)
{
    const auto found = styles.find(DefaultStyleName);
    if (found != styles.end()) {
        defaultStyleGenerated = false;
        return found->second.get();
    }
    auto style = std::make_unique<STSStyle>();
    style->charSet = charSet;
    STSStyle* stored = style.get();
    styles.emplace(DefaultStyleName, std::move(style));
    defaultStyleGenerated = true;
    return stored;
}

void CSimpleTextSubtitle::ReplaceUnknownStyles()
{
    std::set<std::string> reported;
    bool warn = true;
    for (STSEntry& entry : entries) {
        if (styles.find(entry.style) != styles.end())
            continue;
        if (reported.insert(entry.style).second && warn) {
            const QString text =
                QString("Unknown style found: \"%1\", changed to \"Default\"!\n\nPress Cancel to "
                        "ignore further warnings.")
                    .arg(QString::fromStdString(entry.style));
            warn = UserMessages().AskOkCancel("Warning", text);
        }
        entry.style = DefaultStyleName;
    }
}

bool CSimpleTextSubtitle::ResolveStyle(int index, STSStyle& out)
{
    const STSEntry& entry = entries.at(static_cast<std::size_t>(index));
    const auto own = styles.find(entry.style);
    const auto defaultStyle = styles.find(DefaultStyleName);
    const bool hadDefault = defaultStyle != styles.end();
    const STSStyle* chosen = nullptr;
    if (own != styles.end())
        chosen = own->second.get();
    else if (hadDefault)
        chosen = defaultStyle->second.get();
    else
        chosen = EnsureDefaultStyle(1);
    if (!chosen)
        return false;
    out = *chosen;
    if (out.positionBase == 2 && hadDefault)
        out.positionBase = defaultStyle->second->positionBase;
    return true;
}

std::int32_t CSimpleTextSubtitle::EntryCharSet(int index)
{
    STSStyle style;
    ResolveStyle(index, style);
    return style.charSet;
}

QString CSimpleTextSubtitle::EntryText(int index)
{
    const STSEntry& entry = entries.at(static_cast<std::size_t>(index));
    if (entry.unicodeText)
        return entry.text;
    return DecodeScriptText(entry.text, EntryCharSet(index), encodingReport.codePage);
}

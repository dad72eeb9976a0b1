// Row breaking of an entry's words.

#include "RenderedTextSubtitle.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {

constexpr std::int64_t Unlimited = std::numeric_limits<std::int32_t>::max();

std::int32_t ToInt(std::int64_t value)
{
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(), Unlimited));
}

bool EndsParagraph(const std::vector<std::unique_ptr<CWord>>& words, std::size_t i)
{
    return i >= words.size() || words[i]->lineBreak;
}

void RaiseTo(CLine& row, const CWord& word)
{
    row.ascent = std::max(row.ascent, word.ascent);
    row.descent = std::max(row.descent, word.descent);
    row.borderX = std::max(row.borderX, word.BorderX());
    row.borderY = std::max(row.borderY, word.BorderY());
}

// Where a box of `size` starts between two edges for a keypad column or row.
std::int64_t Place(int slot, std::int64_t low, std::int64_t high, std::int64_t size)
{
    switch (slot) {
    case 0: return low;
    case 2: return high - size;
    default: return (low + high - size) / 2;
    }
}

// Scripts written without spaces between words: CJK ideographs and their
// punctuation, kana, Hangul syllables and the full-width forms.
bool WrittenWithoutSpaces(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xAC00 && u <= 0xD7AF) ||
           (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFF00 && u <= 0xFFEF) || c.isSurrogate();
}

// The places inside `text` where the line-breaking rules of Unicode allow a
// row to end, next to a character of such a script (so Latin words keep
// their hyphens and slashes whole).
std::vector<qsizetype> BreaksInside(const QString& text)
{
    std::vector<qsizetype> breaks;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, text);
    for (qsizetype at = finder.toNextBoundary(); at > 0 && at < text.size();
         at = finder.toNextBoundary()) {
        if (WrittenWithoutSpaces(text[at - 1]) || WrittenWithoutSpaces(text[at]))
            breaks.push_back(at);
    }
    return breaks;
}

}  // namespace

void CRenderedTextSubtitle::SplitWideWords(CSubtitle& subtitle, std::int64_t available)
{
    auto& words = subtitle.words;
    for (std::size_t i = 0; i < words.size(); ++i) {
        CWord& word = *words[i];
        if (word.kind != EWordKind::Text || word.whitespace || word.width <= available)
            continue;
        const std::vector<qsizetype> breaks = BreaksInside(word.text);
        if (breaks.empty())
            continue;
        std::vector<std::unique_ptr<CWord>> pieces;
        qsizetype from = 0;
        for (std::size_t b = 0; b <= breaks.size(); ++b) {
            const qsizetype to = b < breaks.size() ? breaks[b] : word.text.size();
            auto piece = std::make_unique<CText>();
            static_cast<CWord&>(*piece) = word;
            piece->kind = EWordKind::Text;
            piece->text = word.text.mid(from, to - from);
            piece->Measure(*Measure);
            piece->breakBefore = from > 0 || word.breakBefore;
            pieces.push_back(std::move(piece));
            from = to;
        }
        const std::size_t count = pieces.size();
        words.erase(words.begin() + static_cast<std::ptrdiff_t>(i));
        words.insert(words.begin() + static_cast<std::ptrdiff_t>(i),
                     std::make_move_iterator(pieces.begin()),
                     std::make_move_iterator(pieces.end()));
        i += count - 1;
    }
}

int CRenderedTextSubtitle::RowWidthLimit(const CSubtitle& subtitle, std::size_t position,
                                         int available) const
{
    if (subtitle.wrapStyle == 2)
        return ToInt(Unlimited);
    if ((subtitle.wrapStyle != 0 && subtitle.wrapStyle != 3) || available <= 0)
        return available;

    const auto& words = subtitle.words;
    std::int64_t total = 0;
    for (std::size_t i = position; !EndsParagraph(words, i); ++i)
        total += words[i]->width;
    // Aim every row of the paragraph at the same share of its width.
    const std::int64_t rows = std::abs(total) / available + 1;
    const std::int64_t target = total / rows;

    std::int64_t sum = 0;
    std::size_t i = position;
    std::int64_t lastAdded = 0;  // the width of the last word looked at, if it was added
    while (!EndsParagraph(words, i)) {
        if (target >= 0 ? sum >= target : sum <= target)
            break;
        const std::int64_t width = words[i]->width;
        lastAdded = 0;
        if (std::abs(sum + width) < available) {
            sum += width;
            lastAdded = width;
        }
        ++i;
    }
    // Wrap style 3 leaves the last word to the rows below, which come out
    // wider than the top ones.
    if (subtitle.wrapStyle == 3 && !EndsParagraph(words, i))
        sum -= lastAdded;
    return ToInt(sum);
}

std::unique_ptr<CLine> CRenderedTextSubtitle::TakeNextRow(CSubtitle& subtitle,
                                                          std::size_t& position, int available)
{
    const auto& words = subtitle.words;
    if (position >= words.size())
        return nullptr;
    const std::int64_t limit = RowWidthLimit(subtitle, position, available);
    auto row = std::make_unique<CLine>();
    std::int64_t width = 0;
    // Spaces that start a row go again in TidyRow; they never make a row
    // of their own.
    bool holdsText = false;
    while (position < words.size()) {
        const CWord& word = *words[position];
        RaiseTo(*row, word);
        if (word.lineBreak) {
            if (row->words.empty()) {
                // An empty line is half as high as a row of text.
                row->ascent /= 2;
                row->descent /= 2;
                row->borderX = row->borderY = 0;
            }
            ++position;
            break;
        }
        std::size_t end = position + 1;
        while (end < words.size() && words[end]->whitespace == word.whitespace &&
               !words[end]->lineBreak && !words[end]->breakBefore)
            ++end;
        std::int64_t group = 0;
        for (std::size_t i = position; i < end; ++i)
            group += words[i]->width;
        if (width + group > limit && holdsText)
            break;
        width += group;
        for (; position < end; ++position)
            row->words.push_back(words[position]->CloneWord());
        holdsText = holdsText || !word.whitespace;
    }
    row->width = ToInt(width);
    TidyRow(*row);
    return row;
}

void CRenderedTextSubtitle::TidyRow(CLine& row)
{
    auto& words = row.words;
    std::int64_t width = row.width;
    while (!words.empty() && words.front()->whitespace) {
        width -= words.front()->width;
        words.erase(words.begin());
    }
    while (!words.empty() && words.back()->whitespace) {
        width -= words.back()->width;
        words.pop_back();
    }
    row.width = ToInt(width);

    std::vector<std::unique_ptr<CWord>> merged;
    for (auto& word : words) {
        if (!merged.empty() && merged.back()->MergeWord(*word))
            continue;
        merged.push_back(std::move(word));
    }
    words = std::move(merged);

    // A row left without words (an empty line) keeps the height it was given.
    if (words.empty())
        return;
    row.ascent = row.descent = row.borderX = row.borderY = 0;
    for (const auto& word : words)
        RaiseTo(row, *word);
}

void CRenderedTextSubtitle::BreakIntoRows(CSubtitle& subtitle, int spacing,
                                          const SEngineRect& margins)
{
    subtitle.rows.clear();
    const std::int32_t available =
        ToInt(static_cast<std::int64_t>(frameWidth8) - margins.left - margins.right);
    SplitWideWords(subtitle, available);
    std::size_t position = 0;
    while (auto row = TakeNextRow(subtitle, position, available))
        subtitle.rows.push_back(std::move(row));

    std::int64_t height = 0;
    std::int64_t width = 0;
    for (const auto& row : subtitle.rows) {
        height += static_cast<std::int64_t>(row->ascent) + row->descent;
        width = std::max<std::int64_t>(width, static_cast<std::int64_t>(row->borderX) + row->width);
    }
    if (!subtitle.rows.empty()) {
        height += static_cast<std::int64_t>(spacing) * 8 *
                  static_cast<std::int64_t>(subtitle.rows.size() - 1);
        subtitle.topBorder = subtitle.rows.front()->borderY;
        subtitle.bottomBorder = subtitle.rows.back()->borderY;
    }

    // Keypad alignment: 1 to 3 bottom, 4 to 6 middle, 7 to 9 top; anything
    // else is bottom centre.
    const int alignment = subtitle.screenAlignment >= 1 && subtitle.screenAlignment <= 9
                              ? subtitle.screenAlignment
                              : 2;
    const int column = (alignment - 1) % 3;
    const int band = alignment <= 3 ? 2 : alignment <= 6 ? 1 : 0;
    const std::int64_t left =
        Place(column, margins.left, static_cast<std::int64_t>(frameWidth8) - margins.right, width);
    const std::int64_t top =
        Place(band, margins.top, static_cast<std::int64_t>(frameHeight8) - margins.bottom, height);
    subtitle.rect = {ToInt(left), ToInt(top), ToInt(left + width), ToInt(top + height)};
}

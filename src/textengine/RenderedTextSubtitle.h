#pragma once
// The styled text engine: lays script entries out into rows of measured
// words for a frame size, interpreting their override tags and effects.

#include "EngineWords.h"
#include "FontMeasure.h"
#include "formats/SimpleTextSubtitle.h"

#include <map>
#include <memory>

// The window that "t" animates values in.
struct SAnimationWindow {
    std::int32_t start = 0;  // ms
    std::int32_t end = 0;    // ms; 0 is the entry's end
    double acceleration = 1.0;
};

class CRenderedTextSubtitle : public CSimpleTextSubtitle {
public:
    CRenderedTextSubtitle();
    ~CRenderedTextSubtitle() override;

    void NotifyChanged() override;
    void Clear() override;

    // Discards every cached layout; the frame is kept in eighths.
    void SetEngineFrame(int width, int height, const SEngineRect& videoRect);
    // The layout of an entry, cached until the frame changes. Throws
    // std::out_of_range for an index outside the entries.
    CSubtitle* LayoutEntry(int entryIndex);

    // Words of a chunk of entry text, made with a style already scaled to
    // eighths of a pixel; they take the current karaoke state.
    void SplitTextWords(CSubtitle& subtitle, const QString& chunk, const STSStyle& style);
    void MakeDrawingWord(CSubtitle& subtitle, const QString& chunk, const STSStyle& style);
    // Breaks the subtitle's words into rows across the frame between the
    // margins (eighths), and places the entry's rectangle.
    void BreakIntoRows(CSubtitle& subtitle, int rowSpacing, const SEngineRect& margins);
    // The row from `position` on, which moves past it; null when no word
    // is left.
    std::unique_ptr<CLine> TakeNextRow(CSubtitle& subtitle, std::size_t& position, int available);
    // Cuts a word wider than `available` where a row may break inside it:
    // between the characters of Chinese, Japanese and Korean text, which
    // writes no spaces.
    void SplitWideWords(CSubtitle& subtitle, std::int64_t available);
    // How wide the row from `position` may grow for the wrap style.
    int RowWidthLimit(const CSubtitle& subtitle, std::size_t position, int available) const;
    // Drops the spaces at both ends and merges neighbouring words.
    static void TidyRow(CLine& row);

    // Override tags and the effect field.
    bool ApplyOverrideBlock(CSubtitle* subtitle, const QString& block, STSStyle& current,
                            const STSStyle& base, bool animate);
    void ApplyEntryEffect(CSubtitle& subtitle, const std::string& effect);
    double AnimateValue(double newValue, double oldValue, bool animate) const;

    // Extra pixels between rows of one entry.
    int rowSpacing = 0;

    // The font the rows are drawn with, when the drawing does not follow
    // the script's fonts: words are then measured with this family at this
    // em size in frame pixels, so that rows break where the drawn words
    // end. An empty family measures with the script's fonts.
    struct SDrawnFont {
        std::string family;
        int size = 0;
    } drawnFont;

    // Frame and video rectangle, eighths of a pixel.
    std::int32_t frameWidth8 = 1920 * 8;
    std::int32_t frameHeight8 = 1080 * 8;
    SEngineRect videoRect8{0, 0, 1920 * 8, 1080 * 8};

    // Entry state while a layout is made.
    SAnimationWindow animation;
    std::int32_t karaokeType = 0;
    std::int32_t karaokeStart = 0;
    std::int32_t karaokeEnd = 0;
    std::int32_t drawingLevel = 0;
    std::int32_t baselineOffset = 0;
    // The time "t" animates at; nothing on the picture path moves it.
    std::int32_t currentTime = 0;

private:
    // The current style copied and scaled to eighths of a pixel.
    STSStyle ScaledStyle(const CSubtitle& subtitle, const STSStyle& style) const;
    SEngineRect EntryMargins(const CSubtitle& subtitle, int entryIndex, const STSStyle& base) const;

    std::map<int, std::unique_ptr<CSubtitle>> Layouts;
    std::shared_ptr<CFontMeasure> Measure;
};

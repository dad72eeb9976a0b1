#pragma once
// A source read from a subtitle script: one text line per entry of the
// script, with repaired times, laid out by the styled text engine.

#include "LineStyle.h"
#include "SubBase.h"
#include "textengine/RenderedTextSubtitle.h"

#include <memory>

class CUserMessages;

class CTextSub : public CSubBase {
public:
    // `style` is the page's style; it outlives the source. The times of
    // the script are repaired at the rate of `frameRateIndex`, the rate the
    // lines will be built at.
    explicit CTextSub(const SSourceStyle* style, int frameRateIndex = 0);

    bool Load(const QString& path, CUserMessages* reporter) override;
    // Rows of the entry that hold text, at the engine's current frame.
    int GetRowCount(int entryIndex) override;
    // Those rows' texts joined with "\N".
    void GetLineText(int entryIndex, QString& text);
    // Picture lines give their pictures; text lines are drawn with the
    // style at the request's video size, squeezed for anamorphic frames.
    // A line with nothing visible (spaces, empty tags) gives true and no
    // picture. False when the line cannot be drawn or the picture exceeds
    // the frame; the user is told which line and why.
    bool GetLineImage(int lineIndex, SLineRequest& request) override;
    // The picture of a text line at the request's video size and row
    // spacing, or null: for a line with nothing visible (`nothingToDraw`
    // set) or after a failure that the user was told about, naming the
    // line. A page measured larger than the frame is refused before any
    // picture is made. Rows break where the words drawn with the style's
    // font end.
    QImage RenderTextLine(int lineIndex, const SLineRequest& request,
                          bool* nothingToDraw = nullptr);

    // The build moves to the rate of `rateIndex`. The lines of a
    // frame-numbered script that gives no rate of its own count their frames
    // at the new rate (a time the user typed moves with its frame); other
    // lines keep their times. The caller repairs the times afterwards.
    void FollowFrameRate(int rateIndex);

    // The engine object; none before a successful load.
    CRenderedTextSubtitle* Engine() { return engine.get(); }

    bool subRip = false;  // the file was read as SubRip
    const SSourceStyle* style;
    int frameRateIndex;  // the rate Load repairs the times at

private:
    void ApplyDefaultStyle();
    void BuildLineList();
    bool Fail(const QString& path, const QString& message, CUserMessages* reporter);

    std::unique_ptr<CRenderedTextSubtitle> engine;
};

// A source for any file a reader takes, whatever its extension ("FILE#N"
// for stream N of a video file), its times repaired at the rate of
// `frameRateIndex`, or none: the user has then been told why.
std::unique_ptr<CTextSub> OpenSubtitleSource(const QString& path, const SSourceStyle* style,
                                             CUserMessages* reporter = nullptr,
                                             int frameRateIndex = 0);

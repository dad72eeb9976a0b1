#pragma once
// A subtitle source as the builder and the views see it: a list of timed
// lines, sorted by start, and the picture of any of them on request.

#include <QImage>
#include <QPoint>
#include <QString>

#include <cstdint>
#include <vector>

class CSubBase;
class CUserMessages;

// One timed line: a text line (an entry of the text engine) or a picture
// line (a picture file shown at a position).
struct SSubLine {
    CSubBase* source = nullptr;
    QString imageFile;            // empty for a text line
    std::int32_t entryIndex = 0;  // entry of the text engine
    std::int32_t start = 0;       // ms
    std::int32_t end = 0;         // ms
    std::int32_t insertFlag = 0;  // given when a picture line is inserted; not read by the build
    std::int32_t posX = 0;        // explicit left edge on the frame; 0 = automatic
    std::int32_t posY = 0;        // explicit top edge; 0 = automatic
    std::uint8_t timingOk = 1;
    std::uint8_t flag2 = 1;  // not read by the build
    std::uint8_t fade = 0;   // the line fades in and out
    // The line's index in the list as loaded, for messages, when a repair
    // for one build has moved it; -1: its place in the list.
    std::int32_t loadedIndex = -1;
};

// The index that messages name a line by (plus one).
inline int LoadedLineIndex(const SSubLine& line, int index)
{
    return line.loadedIndex >= 0 ? line.loadedIndex : index;
}

// What the builder and the preview ask a source for.
struct SLineRequest {
    QImage image;  // out: straight ARGB picture; null = nothing to show
    std::int32_t videoSizeIndex = 0;
    std::int32_t frameRateIndex = 0;
    bool squeeze = false;  // squeeze 720-wide frames to 3/4 width
    std::int32_t lineSpace = 0;
    std::int32_t fadeEnable = 1;
    std::uint8_t pictureMode = 0;  // picture lines: scale without redrawing
    std::uint8_t flag2 = 0;
    std::int32_t posX = 0;  // out: the line's explicit position
    std::int32_t posY = 0;
};

class CSubBase {
public:
    virtual ~CSubBase() = default;

    // Number of non-empty text rows of an entry of the text engine.
    virtual int GetRowCount(int /*entryIndex*/) { return 2; }

    // Reads the source file. Messages go to `reporter` when one is given,
    // else to the user.
    virtual bool Load(const QString& path, CUserMessages* reporter) = 0;

    // The picture of one line. False is a hard failure that stops a build;
    // true with a null picture means the line shows nothing. The base draws
    // picture lines only and answers false for text lines.
    virtual bool GetLineImage(int lineIndex, SLineRequest& request);

    // Sorts the lines and repairs their times for the frame rate: an end of
    // 0 runs to the next start, long runs of touching lines get a gap, and
    // lines shorter than six frames are lengthened.
    void NormalizeTimes(double fps);
    // The same repair again, at another rate, on the lines as they stand
    // (edited times included). Picture lines still without times (0 to 0)
    // keep their places and stay untimed.
    void RepairTimes(double fps);
    // Marks every line whose times are reversed, empty or overlap the line
    // before; returns how many are marked.
    int CheckTimings();
    void CheckLineTiming(int lineIndex);
    // Inserts a picture line before `index` (appends for -1 or past the
    // end) and returns its index. Its times start out bad (0 to 0).
    int InsertImageLine(const QString& path, QPoint position, int index, int flag);
    // Throws std::out_of_range for an index outside the lines.
    void RemoveLine(int lineIndex);

    std::vector<SSubLine> lines;  // sorted by start

    struct SFrameRect {
        std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    };
    // The frame that picture lines are scaled against.
    SFrameRect imageFrame;

protected:
    // The picture of a picture line, for every source: false for a text
    // line, an index outside the lines or a file that gives no picture.
    bool GetPictureLineImage(int lineIndex, SLineRequest& request);
};

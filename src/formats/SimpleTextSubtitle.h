#pragma once
// A text subtitle script in memory: timed entries in the order they were
// read, the script-wide settings and the named styles. The readers fill it,
// the opener finishes it, the text engine and the sources read it.

#include "TextFile.h"

#include <QString>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CTextFile;

struct SMargins {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    bool operator==(const SMargins&) const = default;
};

struct STSEntry {
    QString text;             // override tags kept; line breaks are backslash N
    bool unicodeText = true;  // false: each unit is a byte of a code-page text
    std::string style;
    std::string actor;
    std::string effect;
    SMargins margins;
    std::int32_t layer = 0;
    std::int32_t start = 0;  // ms, or frames for a frame-timed script
    std::int32_t end = 0;
    std::int32_t readOrder = 0;
};

struct STSStyle {
    STSStyle() { ResetToDefaults(); }
    void ResetToDefaults();

    SMargins margins;
    std::int32_t alignment;    // numeric keypad 1..9
    std::int32_t borderStyle;  // 0 outline and shadow, 1 opaque box
    double outlineX, outlineY;
    double shadowX, shadowY;
    // Primary, secondary, outline, shadow; red in the low byte.
    std::array<std::uint32_t, 4> colours;
    // Transparency of the four colours: 0 opaque, 255 invisible.
    std::array<std::uint8_t, 4> alphas;
    std::int32_t charSet;
    std::string fontName;
    double fontSize;
    double scaleX, scaleY;
    double spacing;
    std::int32_t weight;
    bool italic, underline, strikeOut;
    std::int32_t edgeBlur;
    double gaussBlur;
    double angleZ, angleX, angleY;
    double shearX, shearY;
    std::int32_t positionBase;  // 2: take the Default style's
};

bool SameFont(const STSStyle& a, const STSStyle& b);
bool SameStyle(const STSStyle& a, const STSStyle& b);

// The font fields a style decides.
struct SFontDescription {
    std::int32_t height = 0;
    std::int32_t weight = 400;
    std::uint8_t italic = 0;
    std::uint8_t underline = 0;
    std::uint8_t strikeOut = 0;
    std::uint8_t charSet = 1;
    std::string faceName;  // at most 31 characters
};
void ToFontDescription(const STSStyle& style, SFontDescription& out);

// Style names are compared byte for byte, case included.
using CSTSStyleMap = std::map<std::string, std::unique_ptr<STSStyle>>;

enum ETimingMode : std::int32_t {
    Milliseconds = 0,
    Frames = 1,
};

struct SSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool operator==(const SSize&) const = default;
};

class CSimpleTextSubtitle {
public:
    CSimpleTextSubtitle() = default;
    virtual ~CSimpleTextSubtitle() = default;
    CSimpleTextSubtitle(const CSimpleTextSubtitle&) = delete;
    CSimpleTextSubtitle& operator=(const CSimpleTextSubtitle&) = delete;

    // Lets a derived class drop what it derived from the entries.
    virtual void NotifyChanged() {}
    // Removes entries and styles, the video size and frame rate, the frame
    // rate of the script's own and the reading warnings.
    virtual void Clear();

    // Trims the text, drops empty or reversed entries, turns line feeds
    // into backslash N, "Default" for an empty style, no leading '*'. A
    // negative readOrder means the number of entries so far.
    void AddEntry(const QString& text, bool unicodeText, std::int32_t start, std::int32_t end,
                  const std::string& style, const std::string& actor, const std::string& effect,
                  std::int32_t layer, const SMargins& margins, std::int32_t readOrder = -1);

    // Takes the style. A different style of the same name moves to a
    // numbered name, and the entries that named it follow it.
    void RegisterStyle(std::string name, std::unique_ptr<STSStyle> style);
    STSStyle* EnsureDefaultStyle(std::int32_t charSet);
    // Entries naming a missing style go to "Default", with one warning per
    // name until the user cancels.
    void ReplaceUnknownStyles();
    // Throws std::out_of_range for an index outside the entries.
    bool ResolveStyle(int index, STSStyle& out);
    std::int32_t EntryCharSet(int index);
    QString EntryText(int index);

    // Opens and reads a script file of any of the known formats; false when
    // it cannot be opened or read (a syntax error is shown to the user).
    bool OpenScriptFile(const QString& path, std::int32_t charSet, const std::string& name);
    bool ReadScript(CTextFile& file, std::int32_t charSet, const std::string& name);
    // What a read script is finished with whoever read it: where it came
    // from, the ".style" side file, the Default style, the style names.
    void FinishScript(const std::string& name, ETimingMode mode, TextEncoding encoding,
                      const std::string& filePath, const std::string& reader, std::int32_t charSet);

    std::vector<STSEntry> entries;

    std::string name;
    ETimingMode timingMode = Milliseconds;
    TextEncoding sourceEncoding = Ascii;
    std::string path;
    SSize scriptSize;
    SSize videoSize;
    float frameRate = 0;
    std::int32_t wrapStyle = 0;
    std::int32_t collisions = 0;
    bool scaledBorderAndShadow = false;
    bool defaultStyleGenerated = false;
    CSTSStyleMap styles;
    // The reader that accepted the text, for reports; empty until read.
    std::string readerName;
    // Frames per second that a frame-timed script gives for itself (a
    // MicroDVD "{1}{1}25" line); 0 when it gives none and the frames run at
    // the rate of the build.
    double framesPerSecond = 0;
    // How the file's bytes become characters; its code page is what the
    // default character set means for the byte-valued entries.
    SEncodingReport encodingReport;
    // What the readers recovered from ("line 412: skipped, no valid time"),
    // in reading order; the opener tells the user once the script is read.
    std::vector<QString> readWarnings;

    // Adds "line N: what" to the warnings.
    void WarnAtLine(int line, const char* what);
    // A time read at `line`: a negative one becomes 0 with a warning (one
    // per line); none when it does not fit 32 bits.
    std::optional<std::int32_t> ClampedReadTime(std::int64_t time, int line);
    // Why the last OpenScriptFile or ReadScript returned false.
    enum EReadFailure : std::int32_t {
        NoFailure = 0,
        CannotOpen = 1,     // the file (or download) could not be opened
        UnknownFormat = 2,  // no reader took the text
        SyntaxError = 3,    // a reader took it and then failed; the user was told
    };
    EReadFailure readFailure = NoFailure;
};

// The name a script takes from its file: "movie.en.srt" gives "en",
// "movie.srt" "movie".
std::string ScriptNameFromPath(const QString& path);

// Lines read from `from` up to `to`, for the line number of a syntax error.
int CountLinesBetween(CTextFile& file, std::int64_t from, std::int64_t to);

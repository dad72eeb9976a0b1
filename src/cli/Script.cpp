#include "Commands.h"

#include "VideoOptions.h"

#include "formats/SimpleTextSubtitle.h"
#include "platform/CodePages.h"
#include "formats/ffmpeg/ScriptSources.h"

#include <QString>

#include <ostream>

namespace {

const char* EncodingName(TextEncoding encoding)
{
    switch (encoding) {
    case Utf8: return "UTF-8";
    case Utf16LE: return "UTF-16 LE";
    case Utf16BE: return "UTF-16 BE";
    default: return "bytes";
    }
}

// What the bytes were read as, and why.
std::string EncodingText(const CSimpleTextSubtitle& script)
{
    const SEncodingReport& report = script.encodingReport;
    switch (report.origin) {
    case EEncodingOrigin::PlainAscii: return "ASCII";
    case EEncodingOrigin::Utf8: return "UTF-8 (no byte order mark)";
    case EEncodingOrigin::Forced:
        return QString::asprintf("code page %d (--code-page)", report.codePage).toStdString();
    case EEncodingOrigin::Detected: {
        QString text = QString::fromStdString(report.charsetName) + " (detected";
        if (report.confidence >= 0)
            text += QString::asprintf(", confidence %.2f", report.confidence);
        text += QString::asprintf(", code page %d)", report.codePage);
        return text.toStdString();
    }
    case EEncodingOrigin::Default:
        return QString::asprintf("code page %d (not recognised; the default code page)",
                                 LegacyDefaultCodePage())
            .toStdString();
    default: return EncodingName(script.sourceEncoding);
    }
}

std::string Time(std::int32_t value, ETimingMode mode)
{
    if (mode == Frames)
        return "frame " + std::to_string(value);
    const std::int64_t ms = value;
    return QString::asprintf("%02lld:%02lld:%02lld.%03lld", static_cast<long long>(ms / 3600000),
                             static_cast<long long>(ms / 60000 % 60),
                             static_cast<long long>(ms / 1000 % 60),
                             static_cast<long long>(ms % 1000))
        .toStdString();
}

std::string Number(double value)
{
    return QString::number(value, 'g', 10).toStdString();
}

void PrintStyles(const CSimpleTextSubtitle& script, std::ostream& out)
{
    out << "styles: " << script.styles.size() << '\n';
    for (const auto& [name, style] : script.styles) {
        out << "  " << name << ": font \"" << style->fontName << "\", size "
            << Number(style->fontSize) << ", weight " << style->weight << ", italic "
            << (style->italic ? "yes" : "no") << ", alignment " << style->alignment << ", margins "
            << style->margins.left << "," << style->margins.top << "," << style->margins.right
            << "," << style->margins.bottom << ", charset " << style->charSet << '\n';
    }
}

}  // namespace

int RunScript(const QStringList& args, std::ostream& out, std::ostream& err)
{
    const char* const usage =
        "usage: tandeo script [--code-page N] FILE[#N]\n"
        "  FILE#N reads stream N of a video file (numbered as ffprobe numbers them);\n"
        "  FILE alone its first text subtitle track.\n"
        "  --code-page   read a script without a byte order mark in this Windows code\n"
        "                page (936, 950, 932, 1251, ...) instead of recognising it\n";
    if (WantsHelp(args)) {
        out << usage;
        return 0;
    }
    QStringList rest = args;
    int codePage = 0;
    if (rest.size() == 3 && rest.front() == "--code-page") {
        codePage = CodePageOf(rest[1]);
        if (codePage < 0) {
            err << UnknownCodePage("script", rest[1]);
            return 1;
        }
        rest = rest.mid(2);
    }
    if (rest.size() != 1 || rest.front().startsWith("--")) {
        err << usage;
        return 1;
    }
    SetCodePageOverride(codePage);
    const QString& path = rest.front();
    CSimpleTextSubtitle script;
    const SScriptOpen opened = OpenSubtitleScript(script, path, 1);
    switch (opened.failure) {
    case SScriptOpen::None: break;
    case SScriptOpen::UnknownFormat:
        err << "tandeo script: " << path.toStdString() << ": Unknown subtitle format! \n";
        return 2;
    case SScriptOpen::MediaError:
        err << "tandeo script: " << path.toStdString() << ": " << opened.error.toStdString()
            << '\n';
        return 2;
    default: err << "tandeo script: " << path.toStdString() << ": read error! \n"; return 2;
    }
    if (opened.media && opened.fromMedia.container) {
        out << "tracks: " << opened.fromMedia.tracks.size() << '\n';
        for (const SMediaTrack& track : opened.fromMedia.tracks)
            out << "  #" << track.index << "  " << track.codec << "  " << track.language
                << (track.index == opened.fromMedia.chosen ? "  (read)" : "") << '\n';
    }
    out << "reader: " << script.readerName << '\n'
        << "timing: " << (script.timingMode == Frames ? "frames" : "milliseconds") << '\n'
        << "encoding: " << EncodingText(script) << '\n'
        << (script.framesPerSecond > 0
                ? "frame rate: " + QString::number(script.framesPerSecond, 'g', 10).toStdString() +
                      " (given by the script)\n"
                : std::string())
        << "script size: " << script.scriptSize.width << " x " << script.scriptSize.height << '\n';
    PrintStyles(script, out);
    out << "entries: " << script.entries.size() << '\n';
    for (std::size_t i = 0; i < script.entries.size(); ++i) {
        const STSEntry& entry = script.entries[i];
        out << "  " << (i + 1) << "  " << Time(entry.start, script.timingMode) << " --> "
            << Time(entry.end, script.timingMode) << "  " << entry.style << "  "
            << entry.text.toStdString() << '\n';
        // Byte-valued text reads as its style's character set decodes it.
        if (!entry.unicodeText)
            out << "     decoded: " << script.EntryText(static_cast<int>(i)).toStdString() << '\n';
    }
    return 0;
}

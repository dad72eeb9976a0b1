#include "FfmpegReader.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryFile>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
}

#include "formats/Readers.h"

namespace {

struct SFormatCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct SCodecFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct SPacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using CFormat = std::unique_ptr<AVFormatContext, SFormatCloser>;
using CCodec = std::unique_ptr<AVCodecContext, SCodecFreer>;
using CPacket = std::unique_ptr<AVPacket, SPacketFreer>;

// Frees what a decoded subtitle holds at the end of each packet's scope.
class CDecodedSubtitle {
public:
    CDecodedSubtitle() { std::memset(&Value, 0, sizeof Value); }
    ~CDecodedSubtitle() { avsubtitle_free(&Value); }
    CDecodedSubtitle(const CDecodedSubtitle&) = delete;
    CDecodedSubtitle& operator=(const CDecodedSubtitle&) = delete;
    AVSubtitle Value;
};

// What FFmpeg says while the packets are read. A demuxer that meets the
// end of a cut file only says so in its log and then reports a plain end
// of file; without this, a truncated file would lose its last lines
// without a word.
// Everything else FFmpeg logs is left unsaid: our own messages tell the
// user what went wrong.
QString LoggedProblem;
bool ReadingPackets = false;

void KeepProblems(void*, int level, const char* format, va_list arguments)
{
    if (!ReadingPackets || level > AV_LOG_WARNING || !LoggedProblem.isEmpty())
        return;
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    const QString message = QString::fromUtf8(text).trimmed();
    if (level <= AV_LOG_ERROR || message.contains("prematurely", Qt::CaseInsensitive) ||
        message.contains("truncat", Qt::CaseInsensitive))
        LoggedProblem = message;
}

// Takes FFmpeg's log for the life of one reading.
class CLogListener {
public:
    CLogListener()
    {
        LoggedProblem.clear();
        ReadingPackets = false;
        av_log_set_callback(KeepProblems);
    }
    ~CLogListener()
    {
        ReadingPackets = false;
        av_log_set_callback(av_log_default_callback);
    }
    CLogListener(const CLogListener&) = delete;
    CLogListener& operator=(const CLogListener&) = delete;
};

QString ErrorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(code, text, sizeof text) < 0)
        return QString("error %1").arg(code);
    return QString::fromUtf8(text);
}

bool IsTextSubtitle(const AVStream* stream)
{
    if (!stream->codecpar || stream->codecpar->codec_type != AVMEDIA_TYPE_SUBTITLE)
        return false;
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(stream->codecpar->codec_id);
    return descriptor && (descriptor->props & AV_CODEC_PROP_TEXT_SUB);
}

std::string CodecName(const AVStream* stream)
{
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(stream->codecpar->codec_id);
    return descriptor && descriptor->name ? descriptor->name : "unknown";
}

std::string Language(const AVStream* stream)
{
    const AVDictionaryEntry* language = av_dict_get(stream->metadata, "language", nullptr, 0);
    return language && language->value && *language->value ? language->value : "und";
}

// Files that hold video or audio next to their subtitles, as opposed to a
// subtitle file FFmpeg reads on its own.
bool IsContainerFormat(const AVFormatContext* format)
{
    if (!format->iformat || !format->iformat->name)
        return false;
    const std::string name = format->iformat->name;
    for (const char* family : {"matroska", "mov", "avi", "mpegts", "ogg", "nut", "asf", "flv"}) {
        if (name.find(family) != std::string::npos)
            return true;
    }
    return false;
}

std::int32_t ClampedMs(std::int64_t value)
{
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(value, 0, std::numeric_limits<std::int32_t>::max()));
}

// The styles and play resolution of an SSA/ASS track, read by our own SSA
// reader from the header the decoder carries.
void ReadHeaderStyles(const AVCodecContext* codec, CSimpleTextSubtitle& script)
{
    if (!codec->subtitle_header || codec->subtitle_header_size <= 0)
        return;
    QTemporaryFile header;
    if (!header.open())
        return;
    header.write(reinterpret_cast<const char*>(codec->subtitle_header),
                 codec->subtitle_header_size);
    header.close();
    CTextFile file;
    if (!file.Open(header.fileName()))
        return;
    ReadSubStationScript(file, script, 1);
    file.Close();
    script.entries.clear();
}

struct SEvent {
    std::int64_t start = 0;
    std::optional<std::int64_t> end;  // none: until the next event
    std::int32_t layer = 0;
    std::string style;
    std::string actor;
    std::string effect;
    SMargins margins;
    QString text;
};

// "ReadOrder,Layer,Style,Name,MarginL,MarginR,MarginV,Effect,Text".
// Field text as the model keeps names: bytes as read.
std::string Narrow(const QString& field, bool byteText)
{
    return byteText ? field.toLatin1().toStdString() : field.toStdString();
}

bool ParseAssEvent(const char* ass, bool byteText, SEvent& event)
{
    const QString line = QString::fromUtf8(ass);
    QStringList fields;
    qsizetype from = 0;
    for (int i = 0; i < 8; ++i) {
        const qsizetype comma = line.indexOf(u',', from);
        if (comma < 0)
            return false;
        fields << line.mid(from, comma - from).trimmed();
        from = comma + 1;
    }
    event.layer = fields[1].toInt();
    event.style = Narrow(fields[2], byteText);
    event.actor = Narrow(fields[3], byteText);
    event.margins.left = fields[4].toInt();
    event.margins.right = fields[5].toInt();
    event.margins.top = event.margins.bottom = fields[6].toInt();
    event.effect = Narrow(fields[7], byteText);
    event.text = line.mid(from);
    return true;
}

void AddEvents(std::vector<SEvent>& events, bool byteText, CSimpleTextSubtitle& script)
{
    std::stable_sort(events.begin(), events.end(),
                     [](const SEvent& a, const SEvent& b) { return a.start < b.start; });
    for (std::size_t i = 0; i < events.size(); ++i) {
        SEvent& event = events[i];
        if (!event.end)
            event.end =
                i + 1 < events.size() ? std::max(events[i + 1].start, event.start) : event.start;
        // Lines that end before the film begins can never be shown.
        if (event.start < 0 && *event.end <= 0)
            continue;
        script.AddEntry(event.text, !byteText, ClampedMs(event.start), ClampedMs(*event.end),
                        event.style, event.actor, event.effect, event.layer, event.margins);
    }
}

// MPL2 ("[10][25]text", tenths of a second) also passes FFmpeg's probe for
// LRC lyrics, which then finds no line in it; its first line settles it.
const AVInputFormat* FormatByContent(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    static const QRegularExpression mpl2(R"(^\[\d+\]\[\d*\])");
    for (int i = 0; i < 8 && !file.atEnd(); ++i) {
        QByteArray line = file.readLine(4096).trimmed();
        if (line.startsWith("\xEF\xBB\xBF"))
            line = line.mid(3);
        if (line.isEmpty())
            continue;
        return mpl2.match(QString::fromLatin1(line)).hasMatch() ? av_find_input_format("mpl2")
                                                                : nullptr;
    }
    return nullptr;
}

// The demuxers FFmpeg may use: video files that carry text subtitle tracks,
// and the text subtitle formats.
const char* const AllowedFormats =
    "matroska,webm,mov,mp4,m4a,3gp,3g2,mj2,avi,mpegts,ogg,nut,asf,flv,"
    "webvtt,sami,mpl2,lrc,srt,ass,microdvd,subviewer,subviewer1,vplayer,pjs,jacosub,realtext,"
    "aqtitle,mpsub,stl";

// Subtitle files FFmpeg reads on their own may be in any code page; its
// decoders drop every line that is not UTF-8. A byte order mark of UTF-16
// FFmpeg honours itself.
bool IsUnicodeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return true;
    const QByteArray bytes = file.read(64 << 20);
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return true;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    return !utf8.hasError();
}

}  // namespace

bool LooksLikeContainer(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(12);
    if (head.startsWith("\x1A\x45\xDF\xA3"))
        return true;  // Matroska, WebM
    if (head.startsWith("OggS") || (head.startsWith("RIFF") && head.mid(8, 4) == "AVI "))
        return true;
    return head.size() >= 8 && head.mid(4, 4) == "ftyp";  // MP4, QuickTime
}

SMediaRead ReadMediaSubtitles(const QString& path, int track, CSimpleTextSubtitle& script)
{
    SMediaRead result;
    script.Clear();
    CLogListener listener;

    // "file:" keeps a name such as "concat:a.srt" from naming another
    // protocol. The lists keep a hostile text from passing for a playlist
    // or concatenation script that would send FFmpeg to other files or to
    // the network: only the file itself, and only subtitle and video formats.
    const QByteArray url = "file:" + QFile::encodeName(QFileInfo(path).absoluteFilePath());
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "format_whitelist", AllowedFormats, 0);
    AVFormatContext* opened = nullptr;
    const int openStatus =
        avformat_open_input(&opened, url.constData(), FormatByContent(path), &options);
    av_dict_free(&options);
    if (openStatus < 0) {
        // A video file that does not open is damaged; anything else is
        // simply no format FFmpeg knows either.
        if (LooksLikeContainer(path))
            result.error = QString("The file cannot be read: %1! ").arg(ErrorText(openStatus));
        return result;
    }
    CFormat format(opened);
    result.format = format->iformat && format->iformat->name ? format->iformat->name : "";
    // A file that begins like a video file is one, whatever FFmpeg took it for.
    result.container = IsContainerFormat(format.get()) || LooksLikeContainer(path);
    const int found = avformat_find_stream_info(format.get(), nullptr);
    if (found < 0) {
        if (result.container)
            result.error = QString("The file cannot be read: %1! ").arg(ErrorText(found));
        return result;
    }

    AVStream* chosen = nullptr;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        AVStream* stream = format->streams[i];
        stream->discard = AVDISCARD_ALL;
        if (IsTextSubtitle(stream)) {
            result.tracks.push_back({stream->index, CodecName(stream), Language(stream)});
            if (!chosen && (track < 0 || stream->index == track))
                chosen = stream;
        }
    }
    if (!chosen) {
        if (track >= 0 && static_cast<unsigned>(track) < format->nb_streams)
            result.error = QString("Stream #%1 is not a text subtitle track! ").arg(track);
        else if (track >= 0)
            result.error = QString("No text subtitle track #%1! ").arg(track);
        else if (result.container)
            result.error = "No text subtitle track! ";
        return result;
    }
    chosen->discard = AVDISCARD_DEFAULT;
    result.chosen = chosen->index;

    const AVCodec* decoder = avcodec_find_decoder(chosen->codecpar->codec_id);
    if (!decoder) {
        result.error =
            QString("No decoder for %1 subtitles! ").arg(QString::fromStdString(CodecName(chosen)));
        return result;
    }
    CCodec codec(avcodec_alloc_context3(decoder));
    if (!codec) {
        result.error = "Out of memory! ";
        return result;
    }
    int status = avcodec_parameters_to_context(codec.get(), chosen->codecpar);
    // Latin-1 maps every byte to the character of its value, so the
    // decoded text hands the bytes back one unit each.
    result.byteText = !result.container && !IsUnicodeFile(path);
    if (status >= 0 && result.byteText) {
        codec->sub_charenc = av_strdup("ISO-8859-1");
        if (!codec->sub_charenc)
            status = AVERROR(ENOMEM);
    }
    if (status >= 0) {
        codec->pkt_timebase = chosen->time_base;
        status = avcodec_open2(codec.get(), decoder, nullptr);
    }
    if (status < 0) {
        result.error = QString("The %1 decoder cannot start: %2! ")
                           .arg(QString::fromStdString(CodecName(chosen)), ErrorText(status));
        return result;
    }

    const AVCodecID id = chosen->codecpar->codec_id;
    // Only SSA/ASS tracks have styles of their own; the decoder gives the
    // others a stand-in header, and they take the source style as SubRip does.
    if (id == AV_CODEC_ID_ASS || id == AV_CODEC_ID_SSA)
        ReadHeaderStyles(codec.get(), script);

    CPacket packet(av_packet_alloc());
    if (!packet) {
        result.error = "Out of memory! ";
        return result;
    }
    const AVRational milliseconds{1, 1000};
    std::vector<SEvent> events;
    ReadingPackets = true;
    for (;;) {
        status = av_read_frame(format.get(), packet.get());
        if (status < 0)
            break;
        if (packet->stream_index != chosen->index) {
            av_packet_unref(packet.get());
            continue;
        }
        const std::int64_t pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        const std::int64_t duration = packet->duration;
        CDecodedSubtitle decoded;
        int got = 0;
        const int used = avcodec_decode_subtitle2(codec.get(), &decoded.Value, &got, packet.get());
        av_packet_unref(packet.get());
        // A packet the decoder refuses is left out; the others still count.
        if (used < 0 || !got || pts == AV_NOPTS_VALUE)
            continue;
        const AVSubtitle& subtitle = decoded.Value;
        const std::int64_t at = av_rescale_q(pts, chosen->time_base, milliseconds);
        std::optional<std::int64_t> end;
        if (duration > 0)
            end = at + av_rescale_q(duration, chosen->time_base, milliseconds);
        else if (subtitle.end_display_time > subtitle.start_display_time &&
                 subtitle.end_display_time != std::numeric_limits<std::uint32_t>::max())
            end = at + subtitle.end_display_time;
        for (unsigned r = 0; r < subtitle.num_rects; ++r) {
            const AVSubtitleRect* rect = subtitle.rects[r];
            SEvent event;
            if (!rect || rect->type != SUBTITLE_ASS || !rect->ass ||
                !ParseAssEvent(rect->ass, result.byteText, event))
                continue;
            event.start = at + subtitle.start_display_time;
            event.end = end;
            events.push_back(std::move(event));
        }
    }
    if (status != AVERROR_EOF) {
        script.Clear();
        result.error = QString("The file cannot be read to its end: %1! ").arg(ErrorText(status));
        return result;
    }
    if (!LoggedProblem.isEmpty()) {
        script.Clear();
        result.error = QString("The file is damaged or cut short: %1! ").arg(LoggedProblem);
        return result;
    }
    AddEvents(events, result.byteText, script);
    result.read = true;
    return result;
}

#include "ScriptSources.h"

#include <QFileInfo>
#include <QStringList>

namespace {

bool IsAddress(const QString& path)
{
    return path.startsWith("http://", Qt::CaseInsensitive) ||
           path.startsWith("https://", Qt::CaseInsensitive);
}

}  // namespace

void SplitTrackPath(const QString& path, QString& file, int& track)
{
    file = path;
    track = -1;
    if (IsAddress(path) || QFileInfo::exists(path))
        return;
    const qsizetype hash = path.lastIndexOf(u'#');
    if (hash <= 0)
        return;
    const QString number = path.mid(hash + 1);
    if (number.isEmpty() || number.size() > 6)
        return;
    for (const QChar c : number) {
        if (c < u'0' || c > u'9')
            return;
    }
    const QString prefix = path.left(hash);
    if (!QFileInfo(prefix).isFile())
        return;
    file = prefix;
    track = number.toInt();
}

SScriptOpen OpenSubtitleScript(CSimpleTextSubtitle& script, const QString& path,
                               std::int32_t charSet)
{
    SScriptOpen result;
    int track = -1;
    SplitTrackPath(path, result.file, track);

    // Video files go straight to FFmpeg: our text readers would only walk
    // through the whole of their bytes to turn them away.
    if (track < 0 && !LooksLikeContainer(result.file)) {
        if (script.OpenScriptFile(result.file, charSet, ""))
            return result;
        switch (script.readFailure) {
        case CSimpleTextSubtitle::CannotOpen:
            result.failure = SScriptOpen::CannotOpen;
            return result;
        case CSimpleTextSubtitle::SyntaxError:
            result.failure = SScriptOpen::SyntaxError;
            return result;
        default: break;
        }
        if (IsAddress(result.file)) {
            result.failure = SScriptOpen::UnknownFormat;
            return result;
        }
    }

    result.fromMedia = ReadMediaSubtitles(result.file, track, script);
    if (!result.fromMedia.read) {
        script.Clear();
        result.error = result.fromMedia.error;
        result.failure =
            result.error.isEmpty() ? SScriptOpen::UnknownFormat : SScriptOpen::MediaError;
        return result;
    }
    result.media = true;
    std::string codec;
    for (const SMediaTrack& each : result.fromMedia.tracks) {
        if (each.index == result.fromMedia.chosen)
            codec = each.codec;
    }
    script.FinishScript(ScriptNameFromPath(result.file), Milliseconds,
                        result.fromMedia.byteText ? Ascii : Utf8, result.file.toStdString(),
                        "FFmpeg " + result.fromMedia.format + " (" + codec + ")", charSet);
    return result;
}

const std::vector<SScriptFormat>& ScriptFormats()
{
    static const std::vector<SScriptFormat> formats{
        {"SubRip", "*.srt"},
        {"SubStation Alpha", "*.ass;*.ssa"},
        {"WebVTT", "*.vtt"},
        {"MicroDVD, SubViewer", "*.sub"},
        {"TMPlayer, MPL2 and other timed lines", "*.txt;*.mpl"},
        {"SAMI", "*.smi;*.sami"},
        {"YouTube SBV", "*.sbv"},
        {"TTML, DFXP, timed text XML", "*.ttml;*.dfxp;*.xml"},
        {"LRC lyrics", "*.lrc"},
        {"Text tracks of video files", "*.mkv;*.mp4;*.webm;*.mov;*.m4v"},
    };
    return formats;
}

QString SubtitleFileFilter()
{
    QStringList all;
    for (const SScriptFormat& format : ScriptFormats())
        all << QString::fromLatin1(format.Patterns);
    const QString every = all.join(u';');
    QString filter = QString("Subtitle files(%1)|%1|").arg(every);
    for (const SScriptFormat& format : ScriptFormats())
        filter += QString("%1(%2)|%2|")
                      .arg(QString::fromLatin1(format.Name), QString::fromLatin1(format.Patterns));
    return filter + "All files(*.*)|*.*||";
}

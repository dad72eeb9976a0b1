#include "Readers.h"
#include "SimpleTextSubtitle.h"
#include "platform/UserMessages.h"

#include <QStringList>

namespace {

// Scripts fetched from an address, and their side files, are cut off here.
constexpr std::int64_t MaxDownloadSize = 1048576;

}  // namespace

// "movie.en.srt" names its script "en", "movie.srt" "movie".
std::string ScriptNameFromPath(const QString& path)
{
    QString name = path;
    name.replace('\\', '/');
    const qsizetype dot = name.lastIndexOf('.');
    name = dot >= 0 ? name.left(dot) : QString();
    name = name.mid(name.lastIndexOf('/') + 1);
    name = name.mid(name.lastIndexOf('.') + 1);
    return name.toStdString();
}

namespace {

// What the readers recovered from, in one message: a damaged file must not
// bring up a box per line.
void ShowReadWarnings(const std::vector<QString>& warnings)
{
    constexpr std::size_t MaxShown = 20;
    if (warnings.empty())
        return;
    QStringList shown;
    for (std::size_t i = 0; i < warnings.size() && i < MaxShown; ++i)
        shown << warnings[i];
    if (warnings.size() > MaxShown)
        shown << QString::asprintf("... and %zu more", warnings.size() - MaxShown);
    UserMessages().Show(shown.join('\n'), EMessageKind::Warning);
}

}  // namespace

const std::vector<SScriptReader>& ScriptReaders()
{
    static const std::vector<SScriptReader> readers{
        {"SubRip", ReadSubRip, Milliseconds},
        {"braced time lines", ReadBracedTimeLines, Milliseconds},
        // Before SubViewer, which would take its milliseconds for hundredths.
        {"YouTube SBV", ReadSbv, Milliseconds},
        {"SubViewer", ReadSubViewer, Milliseconds},
        {"MicroDVD", ReadMicroDvd, Frames},
        {"time-prefixed lines", ReadTimePrefixedLines, Milliseconds},
        {"SubStation Alpha", ReadSubStationScript, Milliseconds},
        {"key=value script", ReadKeyValueScript, Milliseconds},
        {"XML timed text", ReadTimedText, Milliseconds},
    };
    return readers;
}

int CountLinesBetween(CTextFile& file, std::int64_t from, std::int64_t to)
{
    file.Seek(from, 0);
    std::string line;
    int count = 0;
    if (!file.ReadLineNarrow(line))
        return count;
    while (file.GetPosition() < to && file.ReadLineNarrow(line))
        ++count;
    return count;
}

bool CSimpleTextSubtitle::OpenScriptFile(const QString& path, std::int32_t charSet,
                                         const std::string& scriptName)
{
    Clear();
    CWebTextFile file(MaxDownloadSize);
    if (!file.Open(path)) {
        readFailure = CannotOpen;
        return false;
    }
    const bool read =
        ReadScript(file, charSet, scriptName.empty() ? ScriptNameFromPath(path) : scriptName);
    file.Close();
    return read;
}

bool CSimpleTextSubtitle::ReadScript(CTextFile& file, std::int32_t charSet,
                                     const std::string& scriptName)
{
    Clear();
    readerName.clear();
    readFailure = NoFailure;
    const std::int64_t start = file.GetPosition();
    for (const SScriptReader& reader : ScriptReaders()) {
        const bool accepted = reader.Read(file, *this, charSet);
        if (!accepted && !entries.empty()) {
            const int line = CountLinesBetween(file, start, file.GetPosition());
            UserMessages().Show(QString::asprintf("Syntax error at line %d!\t", line + 1),
                                EMessageKind::Error);
            Clear();
            readFailure = SyntaxError;
            return false;
        }
        if (!accepted) {
            file.Seek(start, 0);
            Clear();
            continue;
        }

        encodingReport = file.encodingReport;
        FinishScript(scriptName, reader.TimingMode, file.encoding, file.GetFilePath().toStdString(),
                     reader.Name, charSet);
        ShowReadWarnings(readWarnings);
        return true;
    }
    readFailure = UnknownFormat;
    return false;
}

void CSimpleTextSubtitle::FinishScript(const std::string& scriptName, ETimingMode mode,
                                       TextEncoding encoding, const std::string& filePath,
                                       const std::string& reader, std::int32_t charSet)
{
    name = scriptName;
    timingMode = mode;
    sourceEncoding = encoding;
    path = filePath;
    readerName = reader;
    readFailure = NoFailure;
    NotifyChanged();

    // A side file may add styles (and lines) to any script.
    CWebTextFile side(MaxDownloadSize);
    const bool hasSide = side.Open(QString::fromStdString(path) + ".style");
    if (hasSide)
        ReadSubStationScript(side, *this, charSet);
    EnsureDefaultStyle(charSet);
    ReplaceUnknownStyles();
    if (hasSide)
        side.Close();
}

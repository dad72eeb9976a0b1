#include "TextFile.h"

#include "platform/CharsetDetection.h"
#include "platform/CodePages.h"
#include "platform/Download.h"
#include "platform/TempFiles.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

// The file is opened unbuffered and read in large blocks here: lines are
// taken byte by byte from the block, never with a system call per byte.
struct STextFileBuffer {
    static constexpr qint64 BlockSize = 256 * 1024;

    std::vector<char> Block = std::vector<char>(BlockSize);
    qint64 Start = 0;  // file offset of Block[0]
    qint64 Fill = 0;   // valid bytes in Block
    qint64 Pos = 0;    // next byte in Block

    void Reset(qint64 offset)
    {
        Start = offset;
        Fill = 0;
        Pos = 0;
    }
    qint64 Offset() const { return Start + Pos; }

    // False at the end of the file or when the read fails.
    bool Available(QFile& file)
    {
        if (Pos < Fill)
            return true;
        Start += Fill;
        Fill = 0;
        Pos = 0;
        const qint64 got = file.read(Block.data(), BlockSize);
        if (got <= 0)
            return false;
        Fill = got;
        return true;
    }
    // Moves back to `offset`, a position already read.
    void Rewind(QFile& file, qint64 offset)
    {
        if (offset >= Start && offset <= Start + Fill) {
            Pos = offset - Start;
            return;
        }
        file.seek(offset);
        Reset(offset);
    }
    // After a carriage return: a line feed right after it belongs to the
    // same line end.
    void SkipLineFeed(QFile& file)
    {
        if (Available(file) && Block[Pos] == '\n')
            ++Pos;
    }
    // The next byte, or -1.
    int Next(QFile& file)
    {
        if (!Available(file))
            return -1;
        return static_cast<unsigned char>(Block[Pos++]);
    }
};

namespace {

constexpr char CtrlZ = 0x1A;

// The text-mode line read: bytes up to a line end, which is dropped. A
// line ends at a line feed, a carriage return, or a carriage return and
// line feed together, so files from any system (old Macs wrote carriage
// returns alone) read as their lines. A 0x1A byte is the end of the file
// and is never passed, so every later read stops there too.
template <class TLine, class FAppend>
bool ReadTextModeLine(STextFileBuffer& reader, QFile& file, TLine& line, FAppend append)
{
    bool any = false;
    while (reader.Available(file)) {
        const char* start = reader.Block.data() + reader.Pos;
        const auto count = static_cast<std::size_t>(reader.Fill - reader.Pos);
        std::size_t length = 0;
        while (length < count && start[length] != '\n' && start[length] != '\r' &&
               start[length] != CtrlZ)
            ++length;
        append(line, start, length);
        reader.Pos += static_cast<qint64>(length);
        any = any || length > 0;
        if (length == count)
            continue;
        const char end = start[length];
        if (end == CtrlZ)
            break;
        ++reader.Pos;
        if (end == '\r')
            reader.SkipLineFeed(file);
        return true;
    }
    return any;
}

// Adapters so that one framing serves both line types.
struct SWideLine {
    QString& Text;
    bool empty() const { return Text.isEmpty(); }
    QChar back() const { return Text.back(); }
    void pop_back() { Text.chop(1); }
};

void AppendWide(SWideLine& line, const char* bytes, std::size_t length)
{
    line.Text.append(QLatin1String(bytes, static_cast<qsizetype>(length)));
}

void AppendNarrow(std::string& line, const char* bytes, std::size_t length)
{
    line.append(bytes, length);
}

// Shared by the UTF-8 reads: takes one byte sequence and reports the
// character, or -2 for a byte that does not start a sequence we decode.
// -1: the file ended (a partial character is dropped).
int NextUtf8(STextFileBuffer& reader, QFile& file, int lead)
{
    if ((lead & 0xE0) == 0xC0) {
        const int c1 = reader.Next(file);
        return c1 < 0 ? -1 : ((lead & 0x1F) << 6) | (c1 & 0x3F);
    }
    if ((lead & 0xF0) == 0xE0) {
        const int c1 = reader.Next(file);
        if (c1 < 0)
            return -1;
        const int c2 = reader.Next(file);
        return c2 < 0 ? -1 : ((lead & 0x0F) << 12) | ((c1 & 0x3F) << 6) | (c2 & 0x3F);
    }
    return -2;
}

// The next UTF-16 unit, or -1 at the end; an odd last byte is consumed
// and ignored.
int NextUtf16(STextFileBuffer& reader, QFile& file, bool bigEndian)
{
    const int b0 = reader.Next(file);
    if (b0 < 0)
        return -1;
    const int b1 = reader.Next(file);
    if (b1 < 0)
        return -1;
    return bigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0;
}

// After a carriage return unit: a line feed unit right after it belongs to
// the same line end.
void SkipUtf16LineFeed(STextFileBuffer& reader, QFile& file, bool bigEndian)
{
    const qint64 at = reader.Offset();
    if (NextUtf16(reader, file, bigEndian) != '\n')
        reader.Rewind(file, at);
}

}  // namespace

CTextFile::CTextFile() : Reader(std::make_unique<STextFileBuffer>()) {}

CTextFile::~CTextFile()
{
    CTextFile::Close();
}

bool CTextFile::Open(const QString& path)
{
    // Not the virtual Close: a derived file opens its own download here.
    CTextFile::Close();
    encoding = defaultEncoding;
    bomSize = 0;
    encodingReport = SEncodingReport{};
    if (path.isEmpty() || QFileInfo(path).isDir())
        return false;
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;

    const qint64 size = file->size();
    if (size >= 2) {
        unsigned char mark[3] = {};
        if (file->read(reinterpret_cast<char*>(mark), 2) != 2)
            return false;
        if (mark[0] == 0xFF && mark[1] == 0xFE) {
            encoding = Utf16LE;
            bomSize = 2;
        } else if (mark[0] == 0xFE && mark[1] == 0xFF) {
            encoding = Utf16BE;
            bomSize = 2;
        } else if (mark[0] == 0xEF && mark[1] == 0xBB && size >= 3) {
            if (file->read(reinterpret_cast<char*>(mark) + 2, 1) != 1)
                return false;
            if (mark[2] == 0xBF) {
                encoding = Utf8;
                bomSize = 3;
            }
        }
    }
    if (bomSize == 0) {
        if (!file->seek(0))
            return false;
        ChooseCodePage(file->readAll().toStdString());
    }
    // Without a mark the reading starts again at the first byte.
    if (!file->seek(bomSize))
        return false;
    File = std::move(file);
    Reader->Reset(bomSize);
    return true;
}

void CTextFile::ChooseCodePage(const std::string& bytes)
{
    if (const int forced = CodePageOverride(); forced != 0) {
        encodingReport.origin = EEncodingOrigin::Forced;
        encodingReport.codePage = forced;
        return;
    }
    const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        encodingReport.origin = EEncodingOrigin::PlainAscii;
        return;
    }
    // UTF-8 without a mark stays as bytes: the default code page decodes it
    // as UTF-8 (and a style's own character set still can override that).
    if (IsValidUtf8(bytes)) {
        encodingReport.origin = EEncodingOrigin::Utf8;
        return;
    }
    const SDetectedCharset detected = DetectCharset(bytes);
    if (detected.codePage == 0) {
        encodingReport.origin = EEncodingOrigin::Default;
        encodingReport.charsetName = detected.name;
        return;
    }
    encodingReport.origin = EEncodingOrigin::Detected;
    encodingReport.codePage = detected.codePage;
    encodingReport.charsetName = detected.name;
    encodingReport.confidence = detected.confidence;
}

void CTextFile::Close()
{
    if (File) {
        File->close();
        File.reset();
    }
    Reader->Reset(0);
}

std::int64_t CTextFile::GetPosition() const
{
    return File ? Reader->Offset() - bomSize : 0;
}

std::int64_t CTextFile::GetLength() const
{
    return File ? std::max<std::int64_t>(0, File->size() - bomSize) : 0;
}

std::int64_t CTextFile::Seek(std::int64_t offset, int origin)
{
    if (!File)
        return 0;
    const std::int64_t length = GetLength();
    std::int64_t base = 0;
    switch (origin) {
    case 0: base = 0; break;
    case 1: base = GetPosition(); break;
    case 2:
        // The offset counts back from the end.
        base = length;
        offset = offset == std::numeric_limits<std::int64_t>::min()
                     ? std::numeric_limits<std::int64_t>::max()
                     : -offset;
        break;
    default: return GetPosition();
    }
    std::int64_t target = 0;
    if (__builtin_add_overflow(base, offset, &target))
        target = offset < 0 ? 0 : length;
    target = std::clamp<std::int64_t>(target, 0, length);
    if (!File->seek(target + bomSize))
        return GetPosition();
    Reader->Reset(target + bomSize);
    return target;
}

QString CTextFile::GetFilePath() const
{
    return File ? File->fileName() : QString();
}

bool CTextFile::HasUnicodeEncoding() const
{
    return encoding == Utf8 || encoding == Utf16LE || encoding == Utf16BE;
}

bool CTextFile::ReadLine(QString& line)
{
    line.clear();
    if (!File)
        return false;
    STextFileBuffer& reader = *Reader;
    QFile& file = *File;
    bool any = false;
    switch (encoding) {
    case Utf8:
        for (int b; (b = reader.Next(file)) >= 0;) {
            any = true;
            int ch = b < 0x80 ? b : NextUtf8(reader, file, b);
            if (ch == -1)
                break;
            if (ch == -2)
                ch = '?';
            if (ch == '\r') {
                reader.SkipLineFeed(file);
                break;
            }
            if (ch == '\n')
                break;
            line.append(QChar(static_cast<char16_t>(ch)));
        }
        return any;
    case Utf16LE:
    case Utf16BE:
        for (int unit; (unit = NextUtf16(reader, file, encoding == Utf16BE)) >= 0;) {
            any = true;
            if (unit == '\r') {
                SkipUtf16LineFeed(reader, file, encoding == Utf16BE);
                break;
            }
            if (unit == '\n')
                break;
            line.append(QChar(static_cast<char16_t>(unit)));
        }
        return any;
    default: {
        SWideLine wide{line};
        return ReadTextModeLine(reader, file, wide, AppendWide);
    }
    }
}

bool CTextFile::ReadLineNarrow(std::string& line)
{
    line.clear();
    if (!File)
        return false;
    STextFileBuffer& reader = *Reader;
    QFile& file = *File;
    bool any = false;
    switch (encoding) {
    case Utf8:
        for (int b; (b = reader.Next(file)) >= 0;) {
            any = true;
            if (b >= 0x80) {
                if (NextUtf8(reader, file, b) == -1)
                    break;
                line.push_back('?');
                continue;
            }
            if (b == '\r') {
                reader.SkipLineFeed(file);
                break;
            }
            if (b == '\n')
                break;
            line.push_back(static_cast<char>(b));
        }
        return any;
    case Utf16LE:
    case Utf16BE:
        for (int unit; (unit = NextUtf16(reader, file, encoding == Utf16BE)) >= 0;) {
            any = true;
            if (unit == '\r') {
                SkipUtf16LineFeed(reader, file, encoding == Utf16BE);
                break;
            }
            if (unit == '\n')
                break;
            line.push_back(unit > 0xFF ? '?' : static_cast<char>(unit));
        }
        return any;
    default: return ReadTextModeLine(reader, file, line, AppendNarrow);
    }
}

CWebTextFile::CWebTextFile(std::int64_t maxDownloadSize) : maxDownloadSize(maxDownloadSize) {}

CWebTextFile::~CWebTextFile()
{
    CWebTextFile::Close();
}

bool CWebTextFile::Open(const QString& path)
{
    Close();
    if (!IsDownloadAddress(path))
        return CTextFile::Open(path);

    QFile temp;
    if (!CreatePrivateTempFile(DownloadFileName(path), temp))
        return false;
    const bool fetched = DownloadToDevice(path, temp, maxDownloadSize) && temp.flush();
    temp.close();
    if (!fetched || temp.error() != QFileDevice::NoError) {
        temp.remove();
        return false;
    }
    tempFileName = temp.fileName();
    return CTextFile::Open(tempFileName);
}

void CWebTextFile::Close()
{
    CTextFile::Close();
    if (!tempFileName.isEmpty()) {
        QFile::remove(tempFileName);
        tempFileName.clear();
    }
}

#pragma once
// Script files as lines of 16-bit units. The encoding comes from a byte
// order mark; without one every byte is one unit of its own value, to be
// decoded later with the character set of the entry's style. For those
// files the opening also settles what the default character set means
// (encodingReport.codePage): the code page the user chose
// (CodePageOverride), else, for a text that is not UTF-8, the one
// recognised from its bytes. Lines end at a line feed, a carriage return,
// or both together.

#include <QFile>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>

enum TextEncoding : std::int32_t {
    Ascii = 0,
    Utf8 = 1,
    Utf16LE = 2,
    Utf16BE = 3,
    Ansi = 4,  // never selected
};

// How a file's bytes became characters.
enum class EEncodingOrigin : std::int32_t {
    ByteOrderMark,  // the mark names the encoding
    PlainAscii,     // no byte above 0x7F
    Utf8,           // valid UTF-8 without a mark
    Detected,       // recognised from the bytes
    Forced,         // the code page the user chose
    Default,        // not recognised: the "Default Code Page" setting applies
};

struct SEncodingReport {
    EEncodingOrigin origin = EEncodingOrigin::ByteOrderMark;
    int codePage = 0;         // Detected and Forced: what the default character set means
    std::string charsetName;  // Detected: the detector's name for it ("GB18030")
    double confidence = -1;   // Detected: 0..1; negative when the detector gives none
};

struct STextFileBuffer;

class CTextFile {
public:
    CTextFile();
    virtual ~CTextFile();
    CTextFile(const CTextFile&) = delete;
    CTextFile& operator=(const CTextFile&) = delete;

    virtual bool Open(const QString& path);
    virtual void Close();

    // Positions and lengths leave out the byte order mark.
    virtual std::int64_t GetPosition() const;
    virtual std::int64_t GetLength() const;
    // Origin 0 from the start, 1 from the position, 2 back from the end;
    // the target is kept within the file. Returns the new position.
    virtual std::int64_t Seek(std::int64_t offset, int origin);
    // The file actually read (for a download, its temporary file).
    virtual QString GetFilePath() const;

    // The next line; false only at the end of the file.
    bool ReadLine(QString& line);
    // The next line, one byte per character ("?" for what does not fit).
    virtual bool ReadLineNarrow(std::string& line);

    bool HasUnicodeEncoding() const;

    TextEncoding encoding = Ascii;
    TextEncoding defaultEncoding = Ascii;
    std::int32_t bomSize = 0;
    SEncodingReport encodingReport;

protected:
    std::unique_ptr<QFile> File;

private:
    // For a file without a mark: the code page its lines are decoded with,
    // if any, from the user's choice or the bytes themselves.
    void ChooseCodePage(const std::string& bytes);

protected:
private:
    std::unique_ptr<STextFileBuffer> Reader;  // our own buffering of File
};

// A text file that may also be an "http://" (or "https://") address: the
// address is first downloaded into a private temporary file.
class CWebTextFile : public CTextFile {
public:
    explicit CWebTextFile(std::int64_t maxDownloadSize = -1);
    ~CWebTextFile() override;

    bool Open(const QString& path) override;
    // Also deletes the downloaded temporary file.
    void Close() override;

    std::int64_t maxDownloadSize;  // negative: no limit
    QString tempFileName;          // the downloaded file, empty when none
};

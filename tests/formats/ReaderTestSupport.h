#pragma once
// Running one script reader over bytes, as the opener would.

#include "formats/Readers.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

using FReader = bool (*)(CTextFile&, CSimpleTextSubtitle&, int);

// Writes `bytes` to a file and lets `reader` read it into `script`.
inline bool ReadBytes(FReader reader, const QByteArray& bytes, CSimpleTextSubtitle& script,
                      int charSet = 1)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("script.txt");
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) {
        ADD_FAILURE() << "cannot write " << path.toStdString();
        return false;
    }
    out.close();
    CTextFile file;
    if (!file.Open(path)) {
        ADD_FAILURE() << "cannot open " << path.toStdString();
        return false;
    }
    return reader(file, script, charSet);
}

// Texts compare as UTF-8 so that a failure prints readably; every unit
// string has its own UTF-8 form, byte-valued units included.
inline std::string U8(const QString& text)
{
    return text.toStdString();
}

#include "FileNames.h"

#include <algorithm>

namespace {

// Where the file name starts, after the last separator.
qsizetype FileNameStart(const QString& path)
{
    return std::max(path.lastIndexOf('/'), path.lastIndexOf('\\')) + 1;
}

}  // namespace

QString ExtensionOf(const QString& path)
{
    const qsizetype dot = path.lastIndexOf('.');
    return dot >= FileNameStart(path) ? path.mid(dot) : QString();
}

QString ReplaceExtension(const QString& path, const QString& extension)
{
    const qsizetype dot = path.lastIndexOf('.');
    return (dot >= FileNameStart(path) ? path.left(dot) : path) + extension;
}

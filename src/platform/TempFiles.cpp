#include "TempFiles.h"

#include <QDir>
#include <QTemporaryDir>

#include <memory>

namespace {

const QString SafeDefaultName = QStringLiteral("download");

bool IsSafeFileName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    // Backslashes are ordinary characters here, but refusing them keeps the
    // name harmless should it ever be handed to something that splits on them.
    for (QChar c : name) {
        if (c == u'/' || c == u'\\' || c == QChar(0))
            return false;
    }
    return true;
}

QString SafeName(const QString& name)
{
    return IsSafeFileName(name) ? name : SafeDefaultName;
}

// "sub.srt" -> "sub-2.srt"; the extension stays last so that readers that
// look at it still see it.
QString NumberedName(const QString& name, int number)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString suffix = QStringLiteral("-%1").arg(number);
    if (dot <= 0)
        return name + suffix;
    return name.left(dot) + suffix + name.mid(dot);
}

}  // namespace

QString PrivateTempDirectory()
{
    // Kept for the life of the process; its destructor removes the folder
    // with whatever is still in it.
    static const std::unique_ptr<QTemporaryDir> Directory = [] {
        auto dir =
            std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/tandeo-XXXXXX"));
        return dir->isValid() ? std::move(dir) : nullptr;
    }();
    return Directory ? Directory->path() : QString();
}

QString DownloadFileName(const QString& address)
{
    QString name = address.mid(address.lastIndexOf(u'/') + 1);
    const qsizetype query = name.indexOf(u'?');
    if (query >= 0)
        name.truncate(query);
    return SafeName(name);
}

bool CreatePrivateTempFile(const QString& name, QFile& file)
{
    const QString directory = PrivateTempDirectory();
    if (directory.isEmpty())
        return false;
    const QString safe = SafeName(name);
    // NewOnly refuses an existing file atomically, so two downloads of the
    // same name never share a file.
    constexpr int MaxAttempts = 10000;
    for (int attempt = 1; attempt <= MaxAttempts; ++attempt) {
        const QString candidate = attempt == 1 ? safe : NumberedName(safe, attempt);
        file.setFileName(directory + u'/' + candidate);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return true;
        if (!file.exists())
            return false;  // not a clash: the name cannot be made at all
    }
    return false;
}

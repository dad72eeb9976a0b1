#include "app/FileDialogEx.h"

#include "builder/BuildChecks.h"
#include "platform/UserDialogs.h"
#include "platform/UserMessages.h"

#include <QFileInfo>

QString CFileDialogEx::Ask(const QString& initialPath)
{
    const QList<SFileFilterEntry> entries = ParseFileFilter(filter_);
    int index = 0;
    for (int i = 0; i < entries.size(); ++i)
        if (FilterExtension(entries[i]).compare(extension_, Qt::CaseInsensitive) == 0) {
            index = i;
            break;
        }
    QString path = UserDialogs().GetSaveFileName(filter_, initialPath, index);
    if (path.isEmpty())
        return {};
    if (index >= 0 && index < entries.size()) {
        const QString picked = FilterExtension(entries[index]);
        if (!picked.isEmpty())
            extension_ = picked;
    }
    // A name typed without an extension, or with another, gets the picked one.
    path = ApplyFilterExtension(path, extension_);
    if (QFileInfo::exists(path) &&
        !UserMessages().AskOkCancel(QStringLiteral("Confirm Save As"),
                                    QString("%1 already exists.\nDo you want to replace it?")
                                        .arg(QFileInfo(path).fileName())))
        return {};
    return path;
}

#include "SettingsCopy.h"

#include "platform/SettingsStore.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <ostream>

CSettingsCopy::~CSettingsCopy()
{
    SetSettingsFilePath(QString());
}

bool IsSettingOverride(const QString& set)
{
    const qsizetype slash = set.indexOf('/');
    return slash > 0 && set.indexOf('=', slash) > slash + 1;
}

bool CSettingsCopy::Prepare(const QString& settingsFile, const QStringList& sets, std::ostream& err,
                            const char* command)
{
    if (!Dir.isValid()) {
        err << "tandeo " << command << ": no room for a temporary settings file\n";
        return false;
    }
    QString from = settingsFile;
    if (from.isEmpty()) {
        from =
            QSettings(QSettings::IniFormat, QSettings::UserScope, "Korvane", "Tandeo").fileName();
    } else if (!QFileInfo(from).isFile()) {
        err << "tandeo " << command << ": " << from.toStdString() << ": no such settings file\n";
        return false;
    }
    const QString copy = Dir.filePath("Tandeo.ini");
    if (QFileInfo(from).isFile() && !QFile::copy(from, copy)) {
        err << "tandeo " << command << ": cannot read the settings " << from.toStdString() << "\n";
        return false;
    }
    SetSettingsFilePath(copy);
    for (const QString& set : sets) {
        const qsizetype slash = set.indexOf('/');
        const qsizetype equals = set.indexOf('=', slash);
        WriteSettingString(set.left(slash), set.mid(slash + 1, equals - slash - 1),
                           set.mid(equals + 1));
    }
    return true;
}

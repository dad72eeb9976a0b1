#include "SettingsStore.h"

#include <QSettings>
#include <QVariant>

#include <atomic>
#include <memory>
#include <mutex>

namespace {

std::mutex PathLock;
QString CustomPath;  // guarded by PathLock
std::atomic<std::uint64_t> Generation{1};

std::unique_ptr<QSettings> OpenStore()
{
    std::lock_guard lock(PathLock);
    if (!CustomPath.isEmpty())
        return std::make_unique<QSettings>(CustomPath, QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("Korvane"), QStringLiteral("Tandeo"));
}

bool IsGeneral(const QString& section)
{
    return section == QLatin1String("General");
}

// Qt reads an unquoted value with commas in a hand-written file as a list;
// the store only holds single values, so such a list is one string again.
QVariant Unlisted(const QVariant& value)
{
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1String(", "));
    return value;
}

QVariant ReadValue(const QString& section, const QString& key)
{
    const auto store = OpenStore();
    if (IsGeneral(section)) {
        // "[General]" in the file is Qt's root group.
        if (store->contains(key))
            return Unlisted(store->value(key));
    }
    return Unlisted(store->value(section + u'/' + key));
}

bool WriteValue(const QString& section, const QString& key, const QVariant& value)
{
    const auto store = OpenStore();
    if (IsGeneral(section)) {
        store->setValue(key, value);
        // A stale copy under "[%General]" must not come back later.
        store->remove(section + u'/' + key);
    } else {
        store->setValue(section + u'/' + key, value);
    }
    store->sync();
    ++Generation;
    return store->status() == QSettings::NoError;
}

}  // namespace

void SetSettingsFilePath(const QString& iniPath)
{
    {
        std::lock_guard lock(PathLock);
        CustomPath = iniPath;
    }
    ++Generation;
}

int ReadSettingInt(const QString& section, const QString& key, int defaultValue)
{
    const QVariant value = ReadValue(section, key);
    bool ok = false;
    const int number = value.isValid() ? value.toString().trimmed().toInt(&ok) : 0;
    return ok ? number : defaultValue;
}

bool WriteSettingInt(const QString& section, const QString& key, int value)
{
    return WriteValue(section, key, value);
}

QString ReadSettingString(const QString& section, const QString& key, const QString& defaultValue)
{
    const QVariant value = ReadValue(section, key);
    return value.isValid() ? value.toString() : defaultValue;
}

bool WriteSettingString(const QString& section, const QString& key, const QString& value)
{
    return WriteValue(section, key, value);
}

bool ReadSettingBytes(const QString& section, const QString& key, QByteArray& bytes)
{
    const QVariant value = ReadValue(section, key);
    bytes = value.isValid() ? value.toByteArray() : QByteArray();
    return value.isValid();
}

bool WriteSettingBytes(const QString& section, const QString& key, const QByteArray& bytes)
{
    return WriteValue(section, key, bytes);
}

std::uint64_t SettingsGeneration()
{
    return Generation;
}

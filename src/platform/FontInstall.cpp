#include "FontInstall.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QGuiApplication>

bool InstallFontFromMemory(const QByteArray& data, QStringList& families)
{
    families.clear();
    // The font database lives in the GUI application; asking it for anything
    // without one is not safe.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        return false;
    if (data.isEmpty())
        return false;
    const int id = QFontDatabase::addApplicationFontFromData(data);
    if (id < 0)
        return false;
    families = QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty()) {
        QFontDatabase::removeApplicationFont(id);
        return false;
    }
    return true;
}

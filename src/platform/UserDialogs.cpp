#include "UserDialogs.h"

namespace {

class CCancellingDialogs : public CUserDialogs {
public:
    QString GetOpenFileName(const QString&, const QString&) override { return {}; }
    QString GetSaveFileName(const QString&, const QString&, int&) override { return {}; }
    bool PickColour(QRgb&) override { return false; }
    bool PickFont(QFont&) override { return false; }
    void OpenUrl(const QString&) override {}
};

CCancellingDialogs Cancelling;
CUserDialogs* Current = &Cancelling;

}  // namespace

QList<SFileFilterEntry> ParseFileFilter(const QString& filter)
{
    QList<SFileFilterEntry> entries;
    const QStringList parts = filter.split('|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        SFileFilterEntry entry;
        entry.label = parts[i];
        for (const QString& pattern : parts[i + 1].split(';', Qt::SkipEmptyParts))
            entry.patterns << pattern.trimmed();
        entries << entry;
    }
    return entries;
}

QString FilterExtension(const SFileFilterEntry& entry)
{
    if (entry.patterns.isEmpty())
        return {};
    const QString& first = entry.patterns.front();
    const qsizetype dot = first.lastIndexOf('.');
    if (dot < 0 || first.mid(dot).contains('*') || first.size() == dot + 1)
        return {};
    return first.mid(dot);
}

CUserDialogs& UserDialogs()
{
    return *Current;
}

void SetUserDialogs(CUserDialogs* dialogs)
{
    Current = dialogs ? dialogs : &Cancelling;
}

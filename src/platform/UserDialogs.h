#pragma once
// The choosers the window asks the user through: files to open or save,
// a colour, and the browser. The window installs its desktop dialogs;
// without them every question is answered "cancel", so core code and the
// command line never block on one. Tests install their own answers.

#include <QFont>
#include <QList>
#include <QRgb>
#include <QString>
#include <QStringList>

// One entry of a file filter: what the user reads and the patterns.
struct SFileFilterEntry {
    QString label;         // "Sup file(*.sup)"
    QStringList patterns;  // {"*.sup"}
    bool operator==(const SFileFilterEntry&) const = default;
};

// The entries of a filter written as "label|patterns|label|patterns||",
// patterns separated by ';'. An entry without its pattern part is dropped.
QList<SFileFilterEntry> ParseFileFilter(const QString& filter);

// The extension the first pattern of an entry gives (".pes" for "*.pes");
// empty for "*.*", "*" or an entry without patterns.
QString FilterExtension(const SFileFilterEntry& entry);

class CUserDialogs {
public:
    virtual ~CUserDialogs() = default;
    // The file the user picks to open, empty when cancelled.
    virtual QString GetOpenFileName(const QString& filter, const QString& initialPath) = 0;
    // The file the user names to save, empty when cancelled. `filterIndex`
    // holds the entry first selected and comes back as the entry selected
    // when the dialog closed. The dialog does not ask about overwriting.
    virtual QString GetSaveFileName(const QString& filter, const QString& initialPath,
                                    int& filterIndex) = 0;
    // A colour from the full colour chooser; false when cancelled.
    virtual bool PickColour(QRgb& colour) = 0;
    // A font from the font chooser (screen fonts, with effects), starting
    // from `font`; false when cancelled.
    virtual bool PickFont(QFont& font) = 0;
    // Opens an address in the desktop's default browser.
    virtual void OpenUrl(const QString& url) = 0;
};

// The dialogs in force: answers "cancel" unless others were set.
CUserDialogs& UserDialogs();

// Installs `dialogs` (not owned) for the whole program; nullptr goes back to
// answering "cancel".
void SetUserDialogs(CUserDialogs* dialogs);

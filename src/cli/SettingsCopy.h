#pragma once
// The commands that read page styles do so from a private copy of the
// settings (the user's file or the one given with --settings), with --set
// overrides written into the copy only, so the user's own file is never
// changed. The copy stays in force for as long as the object lives.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <iosfwd>

class CSettingsCopy {
public:
    CSettingsCopy() = default;
    ~CSettingsCopy();
    CSettingsCopy(const CSettingsCopy&) = delete;
    CSettingsCopy& operator=(const CSettingsCopy&) = delete;

    // `sets` are "Section/Key=Value". False, with a message, when the
    // settings cannot be read.
    bool Prepare(const QString& settingsFile, const QStringList& sets, std::ostream& err,
                 const char* command);

private:
    QTemporaryDir Dir;
};

// True when `set` has the form Section/Key=Value.
bool IsSettingOverride(const QString& set);

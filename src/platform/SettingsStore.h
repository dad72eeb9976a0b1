#pragma once
// The per-user settings store: sections of named integers, strings and
// byte blocks, kept in the INI file of organisation "Korvane", application
// "Tandeo". Every call opens the store afresh, so pointing it elsewhere
// takes effect at once.
//
// The section "General" is written as a plain "[General]" section (Qt
// keeps it as its root group) and read from there or from "[%General]",
// where Qt itself would put a group of that name.

#include <QByteArray>
#include <QString>

#include <cstdint>

// Uses `iniPath` instead of the user's own file (tests, portable set-ups);
// an empty path goes back to the user's file.
void SetSettingsFilePath(const QString& iniPath);

// `defaultValue` when the key is absent or not a number.
int ReadSettingInt(const QString& section, const QString& key, int defaultValue);
bool WriteSettingInt(const QString& section, const QString& key, int value);

QString ReadSettingString(const QString& section, const QString& key,
                          const QString& defaultValue = QString());
bool WriteSettingString(const QString& section, const QString& key, const QString& value);

// False (and `bytes` emptied) when the key is absent.
bool ReadSettingBytes(const QString& section, const QString& key, QByteArray& bytes);
bool WriteSettingBytes(const QString& section, const QString& key, const QByteArray& bytes);

// Changes each time the store is pointed elsewhere or written through these
// functions: a value derived from the settings may be kept until then.
std::uint64_t SettingsGeneration();

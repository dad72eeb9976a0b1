#pragma once
// Fonts installed from memory for the running process, so that text
// measuring and drawing can then ask for their families by name. Needs the
// GUI application object; without one nothing is installed.

#include <QByteArray>
#include <QStringList>

// Installs the font file held in `data` (TrueType, OpenType or a
// collection) and gives the families it adds. False when there is no GUI
// application or the data is not a font the platform can use. The font
// stays available until the process ends.
bool InstallFontFromMemory(const QByteArray& data, QStringList& families);

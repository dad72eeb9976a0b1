#pragma once
// File name extensions as the program compares them.

#include <QString>

// The extension of the file name in `path`, from its last '.', dot
// included; empty when the name has none.
QString ExtensionOf(const QString& path);

// `path` with its extension replaced by `extension`, or with `extension`
// appended when it has none.
QString ReplaceExtension(const QString& path, const QString& extension);

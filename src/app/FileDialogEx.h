#pragma once
// The save dialog of the Build command: it offers a name with a default
// extension, keeps the extension of the file type the user picks, and asks
// before a file is overwritten.

#include <QString>

class CFileDialogEx {
public:
    CFileDialogEx(QString filter, QString defaultExtension)
        : filter_(std::move(filter)), extension_(std::move(defaultExtension))
    {
    }

    // The path to write, or empty when the user cancelled or would not
    // overwrite. The extension of the picked file type replaces another one
    // the user typed.
    QString Ask(const QString& initialPath);
    // The extension of the file type picked last (the default one first).
    QString Extension() const { return extension_; }

private:
    QString filter_;
    QString extension_;
};

#pragma once
// Temporary files of this process. They live in a directory of our own, made
// on first use and removed when the process ends, so that a name taken from
// outside (the tail of a web address) can never reach another folder.

#include <QFile>
#include <QString>

// The private directory, made on first use; empty when it cannot be made.
QString PrivateTempDirectory();

// The file name for a download of `address`: the part after its last "/",
// cut before the first "?". A name that would be empty, "." or ".." (or
// that still holds a separator or a NUL) becomes "download".
QString DownloadFileName(const QString& address);

// Creates a new file called `name` in the private directory and opens it
// for writing into `file`. When that name is taken, a counter goes before
// the extension ("sub-2.srt"). `name` is made safe as DownloadFileName does.
// False when no file could be made.
bool CreatePrivateTempFile(const QString& name, QFile& file);

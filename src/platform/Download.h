#pragma once
// Fetching a script from a web address, synchronously. The transfer runs in
// a local event loop (user input is held back meanwhile), so it needs a
// QCoreApplication (or QGuiApplication) object: without one every download
// fails. The command line and the window make one; tests make their own.

#include <QIODevice>
#include <QString>

#include <cstdint>

// True for paths that start with "http://" or "https://" (exact case).
bool IsDownloadAddress(const QString& path);

// How many bytes a download keeps for a limit. The copy works in blocks of
// 1024 bytes and stops after the block that reaches the limit, so the limit
// is rounded up to whole blocks (at least one); negative means no limit and
// gives -1.
std::int64_t DownloadKeepBytes(std::int64_t maxDownloadSize);

// The longest a whole download may take before it is given up; 30 s unless
// set. Applies to every later download of the process.
constexpr int DefaultDownloadTimeoutMs = 30000;
void SetDownloadTimeout(int milliseconds);
int DownloadTimeout();

// Writes the body of `address` into `target` (open for writing), at most
// DownloadKeepBytes(maxDownloadSize) bytes. False when there is no
// application object, the address cannot be fetched, the server answers
// with anything but success, the transfer breaks or times out, or a write
// fails; `target` may then hold part of the body.
bool DownloadToDevice(const QString& address, QIODevice& target, std::int64_t maxDownloadSize);

// Named files read by the print methods, on POSIX: never blocking on what is not a regular file.
#pragma once

#include <functional>
#include <string_view>

#include <QByteArray>
#include <QString>

#include <memory>
#include <string_view>

namespace corvane::qt {

// Opens a named file for reading if it is a regular file: without blocking, so that a FIFO or a
// device put in its place after an existence test cannot stop the caller, then checked with
// fstat. Returns the descriptor, which the caller closes. RuntimeError 53 when there is no such
// file, 70 when it may not be read, 75 for anything else (a folder, a FIFO, a device).
int openRegularFile(const QString &path);

// The whole of a regular file (as openRegularFile); RuntimeError 57 when reading fails.
QByteArray readRegularFile(const QString &path);

} // namespace corvane::qt

namespace corvane::qt {

// The user's own folder for temporary files: "corvane" in XDG_RUNTIME_DIR when that is the
// user's private folder, else "corvane-<uid>" in the temporary folder. Computed, not checked.
QString privateFolder();

// Creates the folder (0700) when it is missing, then checks that it may be trusted: a folder,
// not a link, owned by the user and writable by no one else, in a parent folder that only its
// owner (the user or root) may rename it in. RuntimeError 70 (with the folder's path) when not.
void ensurePrivateFolder(const QString &folder);

// A new file (0600, exclusive, never through a link) in a trusted folder, holding bytes and
// locked while the returned hold lives; null when the name is taken. RuntimeError on failure.
std::shared_ptr<void> createLockedFile(const QString &path, const QByteArray &bytes);

// Deletes the files of a trusted folder whose names pass the test and that no process holds
// locked; a folder that is not trusted is left alone.
void deleteUnlockedFiles(const QString &folder, const std::function<bool(std::u16string_view name)> &isLeftover);

} // namespace corvane::qt

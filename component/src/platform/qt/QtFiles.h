// Named files read by the print methods, on POSIX: never blocking on what is not a regular file.
#pragma once

#include <QByteArray>
#include <QString>

namespace corvane::qt {

// Opens a named file for reading if it is a regular file: without blocking, so that a FIFO or a
// device put in its place after an existence test cannot stop the caller, then checked with
// fstat. Returns the descriptor, which the caller closes. RuntimeError 53 when there is no such
// file, 70 when it may not be read, 75 for anything else (a folder, a FIFO, a device).
int openRegularFile(const QString &path);

// The whole of a regular file (as openRegularFile); RuntimeError 57 when reading fails.
QByteArray readRegularFile(const QString &path);

} // namespace corvane::qt

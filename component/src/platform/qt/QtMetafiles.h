// Windows metafile pictures (WMF, EMF) drawn as images, by corvane-picture in a child process.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace corvane::qt {

// What the drawing program may use before it is stopped.
struct MetafileLimits {
    std::chrono::milliseconds time{10000};          // wall-clock time; the program is killed after it
    std::size_t memoryBytes = std::size_t(1) << 30; // its address space (not applied in builds with a sanitizer)
};

// Draws a metafile into an image of exactly pixels (ARGB32 premultiplied, transparent where the
// metafile draws nothing; the whole picture stretched over it). kind: "wmf" for RTF's
// \wmetafileN data (a WMF from its METAHEADER on), "emf" for \emfblip data (a whole EMF).
// Runs corvane-picture from the folder of libcorvane.so with the default limits and waits for it.
// A null image on any failure: an unknown kind, an empty size or one above 16384 pixels a side,
// data that is no metafile or is damaged, a missing program, a time-out, a crash.
// Safe to call from any thread; it needs no event loop.
QImage renderMetafile(std::string_view kind, const QByteArray &bytes, QSize pixels);

// The same with a program and limits of the caller's choosing (for tests).
QImage renderMetafileWith(const QString &program, std::string_view kind, const QByteArray &bytes, QSize pixels,
                          const MetafileLimits &limits);

// Runs program with args as renderMetafile runs corvane-picture, hands it input on standard input
// and returns its standard output when it exits with status 0 within the time limit having
// written at most maxOutput bytes.
std::optional<QByteArray> runPictureProgram(const QByteArray &program, const std::vector<QByteArray> &args,
                                            const QByteArray &input, std::size_t maxOutput, const MetafileLimits &limits);

// The path renderMetafile runs: corvane-picture beside libcorvane.so.
QString metafileProgram();

} // namespace corvane::qt

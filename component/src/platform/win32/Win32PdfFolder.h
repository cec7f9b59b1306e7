// The folder of the built-in printer "Corvane PDF" and the files it writes there: each job a new
// file Corvane-<date>-<time>-<n>.pdf, never one that exists already.
#pragma once

#include <corvane/UString.h>

#include <string>

#include <windows.h>

namespace corvane::win32 {

// CORVANE_PDF_DIR, else "Corvane PDF" in the user's Documents.
std::wstring pdfOutputFolder();

// The folder, ready for a job: the default one is made when missing, one named by
// CORVANE_PDF_DIR must exist. RuntimeError 76 naming the folder when it is not there.
std::wstring readyPdfOutputFolder();

// A new file of the folder a job is written into before it is delivered, open for writing.
// RuntimeError 70 (or 75) naming the folder when it cannot be written.
struct PartFile {
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::wstring path;
    PartFile() = default;
    PartFile(const PartFile &) = delete;
    PartFile &operator=(const PartFile &) = delete;
    ~PartFile() { discard(); }
    // Closes and deletes it (an abandoned job).
    void discard();
    // Closes it; false when the last bytes could not be written.
    bool close();
};
void openPartFile(const std::wstring &folder, PartFile &file);

// Gives a finished part file its name in the folder, the next free one; the part file is gone
// after it. RuntimeError 70 or 75 when it cannot be named.
void deliverPartFile(const std::wstring &folder, PartFile &file);

// The description of a failed file operation: "<error's text>: <what> (<system message>)".
UString fileFailure(int32_t number, const std::wstring &what, DWORD code);

} // namespace corvane::win32

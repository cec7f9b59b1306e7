// Files as the document driver sees them: the existence test of a print method, and reading
// a text file in the system's code page.
#pragma once

#include <corvane/UString.h>

#include <filesystem>
#include <optional>
#include <string>

namespace corvane {

// An ordinary file of that name: not a folder, not hidden (a name starting with "."), and not
// a device or socket. Wildcards "*" and "?" in the last part of the name match as in a
// directory listing.
bool ordinaryFileExists(const UString &name);

// Raises 52 (bad file name) for a name of a file to read that holds a NUL or a wildcard.
void checkReadableName(const UString &name);

// The bytes of a file, read in the portable way (Platform::readFile's default). Raises the
// run-time's file errors (53 not found, 70 permission denied, 75 access error, 57 a failed read).
std::string readFileBytes(const UString &name);

// "/", and on Windows "\\" too: what ends a folder's name in a path.
constexpr bool isPathSeparator(char16_t c)
{
    return c == u'/' || (std::filesystem::path::preferred_separator == L'\\' && c == u'\\');
}

// The separator the system writes between a folder and a name in it.
constexpr char16_t kPathSeparator = static_cast<char16_t>(std::filesystem::path::preferred_separator);

// A file name as the system takes it: UTF-16 on Windows, whose narrow names are in the ANSI
// code page, UTF-8 elsewhere.
std::filesystem::path systemPath(const UString &name);

// The last part of a path: the file's own name, as a listing shows it.
UString fileNameOf(const UString &path);

// Text file bytes as text: UTF-16 (little- or big-endian) when they start with its byte-order
// mark, UTF-8 when the bytes are valid UTF-8 (a byte-order mark is dropped), otherwise
// Windows-1252, so no byte of a legacy file is lost.
UString decodeText(std::string_view bytes);

} // namespace corvane

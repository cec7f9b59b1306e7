#include "Files.h"

#include <corvane/Errors.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace corvane {

namespace fs = std::filesystem;

namespace {

template <class Char> constexpr Char wildcards[] = {Char('*'), Char('?'), Char(0)};

template <class Char> bool hasWildcard(std::basic_string_view<Char> text)
{
    return text.find_first_of(std::basic_string_view<Char>(wildcards<Char>)) != std::basic_string_view<Char>::npos;
}

// "*" any run of characters, "?" one character.
template <class Char> bool wildcardMatch(std::basic_string_view<Char> pattern, std::basic_string_view<Char> name)
{
    size_t p = 0, n = 0, star = std::basic_string_view<Char>::npos, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == Char('?') || pattern[p] == name[n])) {
            ++p, ++n;
        } else if (p < pattern.size() && pattern[p] == Char('*')) {
            star = p++, mark = n;
        } else if (star != std::basic_string_view<Char>::npos) {
            p = star + 1, n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == Char('*'))
        ++p;
    return p == pattern.size();
}

using NativeView = std::basic_string_view<fs::path::value_type>;

bool isOrdinary(const fs::path &path)
{
    std::error_code ec;
    const fs::path::string_type name = path.filename().native();
    return !name.empty() && name[0] != fs::path::value_type('.') && fs::is_regular_file(path, ec);
}

} // namespace

// A file name as the system spells it. Windows takes names in UTF-16: its narrow names are in
// the ANSI code page, in which a name outside that page cannot be written at all.
fs::path systemPath(const UString &name)
{
#ifdef _WIN32
    return fs::path(std::wstring(name.begin(), name.end()));
#else
    return fs::path(toUtf8(name));
#endif
}

bool ordinaryFileExists(const UString &name)
{
    if (name.empty() || name.find(u'\0') != UString::npos)
        return false;
    const fs::path path = systemPath(name);
    const fs::path::string_type last = path.filename().native();
    if (!hasWildcard(NativeView(last)))
        return isOrdinary(path);
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path::string_type candidate = it->path().filename().native();
        if (wildcardMatch(NativeView(last), NativeView(candidate)) && isOrdinary(it->path()))
            return true;
    }
    return false;
}

namespace {

// UTF-16 text after its byte-order mark. A surrogate without its partner, and a last byte
// without its pair, each become U+FFFD; every other unit stands as it is.
UString fromUtf16(std::string_view bytes, bool bigEndian)
{
    UString units;
    units.reserve(bytes.size() / 2 + 1);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto high = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
        const auto low = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
        units.push_back(static_cast<char16_t>(high << 8 | low));
    }
    for (size_t i = 0; i < units.size(); ++i) {
        const bool lead = units[i] >= 0xD800 && units[i] <= 0xDBFF;
        const bool trail = units[i] >= 0xDC00 && units[i] <= 0xDFFF;
        if (lead && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF)
            ++i; // a pair
        else if (lead || trail)
            units[i] = u'\uFFFD';
    }
    if (bytes.size() % 2 != 0)
        units.push_back(u'\uFFFD');
    return units;
}

} // namespace

UString decodeText(std::string_view bytes)
{
    // Notepad's "Unicode" (little-endian) and its big-endian form are told by their marks.
    if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE")
        return fromUtf16(bytes.substr(2), false);
    if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFE\xFF")
        return fromUtf16(bytes.substr(2), true);
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    return isValidUtf8(bytes) ? fromUtf8(bytes) : fromWindows1252(bytes);
}

std::string readFileBytes(const UString &name)
{
    std::ifstream in(systemPath(name), std::ios::binary);
    if (!in) {
        const int error = errno;
        if (error == EACCES || error == EPERM)
            throw RuntimeError(err::PermissionDenied);
        if (error == ENOENT)
            throw RuntimeError(err::FileNotFound);
        throw RuntimeError(err::PathFileAccessError);
    }
    std::string bytes;
    in.seekg(0, std::ios::end);
    const auto size = in.tellg();
    in.seekg(0);
    if (size > 0)
        bytes.resize(static_cast<size_t>(size));
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())) && !bytes.empty())
        throw RuntimeError(err::DeviceIOError);
    return bytes;
}

void checkReadableName(const UString &name)
{
    std::u16string_view checked(name);
#ifdef _WIN32
    // A long path's prefix "\\?\" holds no wildcard.
    if (checked.substr(0, 4) == u"\\\\?\\")
        checked.remove_prefix(4);
#endif
    if (name.find(u'\0') != UString::npos || hasWildcard(checked))
        throw RuntimeError(err::BadFileNameOrNumber);
}

UString fileNameOf(const UString &path)
{
    const auto slash = std::find_if(path.rbegin(), path.rend(), isPathSeparator);
    return path.substr(static_cast<size_t>(path.rend() - slash));
}

} // namespace corvane

#include "Win32PdfFolder.h"

#include "Win32Strings.h"

#include <corvane/Errors.h>

#include <shlobj.h>

#include <cwchar>

namespace corvane::win32 {

namespace {

std::wstring environment(const wchar_t *name)
{
    wchar_t buffer[32768];
    const DWORD length = GetEnvironmentVariableW(name, buffer, 32768);
    return length > 0 && length < 32768 ? std::wstring(buffer, length) : std::wstring();
}

std::wstring systemMessage(DWORD code)
{
    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    std::wstring message = length ? std::wstring(text, length) : L"error " + std::to_wstring(code);
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
        message.pop_back();
    return message;
}

bool isFolder(const std::wstring &path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

UString fileFailure(int32_t number, const std::wstring &what, DWORD code)
{
    return errorDescription(number) + u": " + us(what) + u" (" + us(systemMessage(code)) + u")";
}

std::wstring pdfOutputFolder()
{
    std::wstring folder = environment(L"CORVANE_PDF_DIR");
    if (!folder.empty())
        return folder;
    PWSTR documents = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_CREATE, nullptr, &documents)))
        folder = documents;
    CoTaskMemFree(documents);
    return folder + L"\\Corvane PDF";
}

std::wstring readyPdfOutputFolder()
{
    const std::wstring folder = pdfOutputFolder();
    // The default folder is the printer's own and made on first use; one the caller named must
    // be there, so that a mistyped name does not scatter documents.
    if (!isFolder(folder) && environment(L"CORVANE_PDF_DIR").empty())
        CreateDirectoryW(folder.c_str(), nullptr);
    if (!isFolder(folder))
        throw RuntimeError(err::PathNotFound, u"Path not found: the folder of the printer Corvane PDF, " + us(folder)
                                                  + u", does not exist");
    return folder;
}

void PartFile::discard()
{
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
    if (!path.empty())
        DeleteFileW(path.c_str());
    path.clear();
}

bool PartFile::close()
{
    const bool closed = handle == INVALID_HANDLE_VALUE || CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
    return closed;
}

void openPartFile(const std::wstring &folder, PartFile &file)
{
    file.discard();
    // A name of this process and moment, and a new file: an existing one is never opened.
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    DWORD code = 0;
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        wchar_t name[64];
        std::swprintf(name, 64, L"\\.corvane-%lu-%llx.part", GetCurrentProcessId(),
                      static_cast<unsigned long long>(counter.QuadPart) + attempt);
        const std::wstring path = folder + name;
        file.handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (file.handle != INVALID_HANDLE_VALUE) {
            file.path = path;
            return;
        }
        code = GetLastError();
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS)
            break;
    }
    const int32_t number = code == ERROR_ACCESS_DENIED || code == ERROR_WRITE_PROTECT ? err::PermissionDenied
                                                                                      : err::PathFileAccessError;
    throw RuntimeError(number, fileFailure(number, folder + L" could not be written", code));
}

void deliverPartFile(const std::wstring &folder, PartFile &file)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t stamp[32];
    std::swprintf(stamp, 32, L"%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                  now.wSecond);
    // A move without MOVEFILE_REPLACE_EXISTING never replaces a file: take the next free name.
    for (int n = 1; n < 100000; ++n) {
        const std::wstring target = folder + L"\\Corvane-" + stamp + L"-" + std::to_wstring(n) + L".pdf";
        if (MoveFileExW(file.path.c_str(), target.c_str(), 0)) {
            file.path.clear();
            return;
        }
        const DWORD code = GetLastError();
        if (code != ERROR_ALREADY_EXISTS && code != ERROR_FILE_EXISTS) {
            const int32_t number = code == ERROR_ACCESS_DENIED ? err::PermissionDenied : err::PathFileAccessError;
            throw RuntimeError(number, fileFailure(number, target + L" could not be written", code));
        }
    }
    throw RuntimeError(err::FileAlreadyExists);
}

} // namespace corvane::win32

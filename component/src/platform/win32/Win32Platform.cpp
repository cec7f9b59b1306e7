#include "Win32Platform.h"

#include "Win32PdfFolder.h"
#include "Win32PrinterSurface.h"
#include "Win32Strings.h"

#include <corvane/Errors.h>

#include <windows.h>
#include <shellapi.h>
#include <winspool.h>
#undef SetPrinter

#include <cstring>
#include <cwchar>
#include <mutex>

namespace corvane::win32 {

namespace {

// What the Windows build cannot do yet raises this at once, so that nothing waits for it and
// nothing is reported as printed.
[[noreturn]] void notAvailable(const char16_t *what)
{
    throw RuntimeError(err::ObjectDoesNotSupportAction, UString(u"Object doesn't support this action: ") + what
                                                            + u" is not available on this platform yet");
}

// The shell: "print" hands a file to the application the system associates with printing its
// type (ShellExecuteExW); on the built-in printer it copies a PDF into the printer's folder, as
// the printer would have written it. "open" opens it. A printer other than the system's default
// is named to the application through "printto": "print" would print on the default printer, and
// an application without "printto" is an error (no association) rather than the wrong printer.
class Win32Shell final : public Shell {
public:
    int32_t execute(std::u16string_view verb, const UString &file, int32_t windowStyle, const UString &printer) override
    {
        if (verb == u"print" && printer == kPdfPrinterName)
            return copyToPdfFolder(wide(file));
        std::wstring verbText = wide(verb), parameters;
        const std::wstring fileText = wide(file);
        if (verb == u"print" && !printer.empty() && !isDefaultPrinter(wide(printer))) {
            verbText = L"printto";
            parameters = L"\"" + wide(printer) + L"\"";
        }
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        // Returns once the request is taken or refused, and shows no message of its own.
        info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
        info.lpVerb = verbText.c_str();
        info.lpFile = fileText.c_str();
        info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
        info.nShow = windowStyle;
        if (ShellExecuteExW(&info))
            return shell::Accepted;
        const auto code = static_cast<int32_t>(reinterpret_cast<intptr_t>(info.hInstApp));
        if (code > 0 && code <= shell::LastError)
            return code;
        switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND: return shell::FileNotFound;
        case ERROR_PATH_NOT_FOUND: return shell::PathNotFound;
        case ERROR_ACCESS_DENIED: return shell::AccessDenied;
        case ERROR_BAD_FORMAT: return shell::BadFormat;
        case ERROR_NO_ASSOCIATION: return shell::NoAssociation;
        default: return shell::LastError;
        }
    }

private:
    static bool isDefaultPrinter(const std::wstring &name)
    {
        wchar_t current[1024];
        DWORD size = 1024;
        return GetDefaultPrinterW(current, &size)
            && CompareStringOrdinal(current, -1, name.c_str(), -1, TRUE) == CSTR_EQUAL;
    }

    // The built-in printer takes PDF files as they are: copied whole into its folder under a new
    // name, or nothing of them.
    static int32_t copyToPdfFolder(const std::wstring &file)
    {
        HANDLE source = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (source == INVALID_HANDLE_VALUE)
            return GetLastError() == ERROR_PATH_NOT_FOUND ? shell::PathNotFound : shell::FileNotFound;
        char head[5] = {};
        DWORD got = 0;
        const bool isPdf = ReadFile(source, head, 5, &got, nullptr) && got >= 4 && std::memcmp(head, "%PDF", 4) == 0;
        if (!isPdf) {
            CloseHandle(source);
            return shell::NoAssociation; // no handler for what is not a PDF
        }
        SetFilePointer(source, 0, nullptr, FILE_BEGIN);
        try {
            const std::wstring folder = readyPdfOutputFolder();
            PartFile part;
            openPartFile(folder, part);
            char buffer[1 << 16];
            bool copied = true;
            for (DWORD read = 0; copied && ReadFile(source, buffer, sizeof buffer, &read, nullptr) && read > 0;) {
                DWORD written = 0;
                copied = WriteFile(part.handle, buffer, read, &written, nullptr) && written == read;
            }
            CloseHandle(source);
            source = INVALID_HANDLE_VALUE;
            if (!part.close() || !copied)
                return shell::AccessDenied;
            deliverPartFile(folder, part);
            return shell::Accepted;
        } catch (const RuntimeError &error) {
            if (source != INVALID_HANDLE_VALUE)
                CloseHandle(source);
            return error.number() == err::PathNotFound ? shell::PathNotFound : shell::AccessDenied;
        }
    }
};

class Win32Platform final : public Platform {
public:
    std::unique_ptr<PrinterSurface> createPrinterSurface() override { return std::make_unique<Win32PrinterSurface>(); }
    std::unique_ptr<RichTextControl> createRichTextControl() override { notAvailable(u"rich-text printing"); }
    std::unique_ptr<BrowserHost> createBrowserHost() override { notAvailable(u"HTML printing"); }
    void prepareBrowser() override { notAvailable(u"HTML printing"); }
    Shell &shell() override { return m_shell; }
    void showAbout() override { notAvailable(u"the About dialog"); }

    void processEvents() override
    {
        // The thread's waiting messages, as many as there are now (bounded).
        MSG message;
        for (int i = 0; i < 10000 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    UString libraryFolder() override
    {
        HMODULE module = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(&platform), &module);
        wchar_t path[MAX_PATH * 4];
        const DWORD length = GetModuleFileNameW(module, path, MAX_PATH * 4);
        std::wstring folder(path, length < MAX_PATH * 4 ? length : 0);
        const auto slash = folder.find_last_of(L"\\/");
        return slash == std::wstring::npos ? UString() : us(folder.substr(0, slash));
    }

    // A folder of the user's own for the temporary HTML files: %TEMP%\Corvane, not the library's
    // folder, which an install may keep read-only or share among users.
    UString temporaryFolder() override
    {
        wchar_t path[MAX_PATH + 1];
        const DWORD length = GetTempPathW(MAX_PATH + 1, path);
        if (length == 0 || length > MAX_PATH)
            return {};
        std::wstring folder(path, length);
        while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
            folder.pop_back();
        return us(folder + L"\\Corvane");
    }

    UString shortDate() override
    {
        wchar_t text[128];
        const int length = GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, text, 128,
                                           nullptr);
        return length > 1 ? us(std::wstring_view(text, static_cast<size_t>(length - 1))) : UString();
    }

    UString shortTime() override
    {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        wchar_t text[8];
        std::swprintf(text, 8, L"%02u:%02u", now.wHour, now.wMinute);
        return us(text);
    }

private:
    Win32Shell m_shell;
};

} // namespace

Platform &platform()
{
    static Win32Platform instance;
    static std::once_flag installed;
    std::call_once(installed, [] { setDefaultPlatform(&instance); });
    return instance;
}

} // namespace corvane::win32

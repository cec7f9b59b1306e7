// PLACEHOLDER until the Windows printing platform lands in this folder: every print route
// raises the run-time error that it is not available on this platform yet, so that the COM
// server can be built and tested around the core. Files, the clock and the temporary folder
// are real, since object creation and the file checks of the print methods use them.
#include "Win32Platform.h"

#include <corvane/Errors.h>

#include <windows.h>

namespace corvane::win32 {

namespace {

[[noreturn]] void notAvailable(const char16_t *route)
{
    throw RuntimeError(err::ObjectDoesNotSupportAction, UString(u"Object doesn't support this action: ") + route
                                                            + u" is not available on this platform yet");
}

UString fromWide(const wchar_t *text, size_t length)
{
    return UString(reinterpret_cast<const char16_t *>(text), length);
}

class NoShell final : public Shell {
public:
    int32_t execute(std::u16string_view, const UString &, int32_t, const UString &) override
    {
        return shell::NoAssociation;
    }
};

class PlaceholderPlatform final : public Platform {
public:
    std::unique_ptr<PrinterSurface> createPrinterSurface() override { notAvailable(u"printing"); }
    std::unique_ptr<RichTextControl> createRichTextControl() override { notAvailable(u"rich-text printing"); }
    std::unique_ptr<BrowserHost> createBrowserHost() override { notAvailable(u"HTML printing"); }
    Shell &shell() override { return m_shell; }
    void showAbout() override { notAvailable(u"the About dialog"); }
    void processEvents() override
    {
        MSG message;
        for (int i = 0; i < 1000 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    // The folder of the DLL that holds this code.
    UString libraryFolder() override
    {
        HMODULE module = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(&platform), &module);
        wchar_t path[MAX_PATH];
        const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
        UString folder = fromWide(path, length < MAX_PATH ? length : 0);
        const size_t slash = folder.find_last_of(u"\\/");
        return slash == UString::npos ? UString() : folder.substr(0, slash);
    }

    // A folder of the user's own for the temporary HTML files: %TEMP%\Corvane.
    UString temporaryFolder() override
    {
        wchar_t path[MAX_PATH + 1];
        const DWORD length = GetTempPathW(MAX_PATH + 1, path);
        if (length == 0 || length > MAX_PATH)
            return {};
        UString folder = fromWide(path, length);
        if (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/'))
            folder.pop_back();
        return folder + u"\\Corvane";
    }

    UString shortDate() override { return dateText(DATE_SHORTDATE, true); }
    UString shortTime() override { return dateText(0, false); }

private:
    static UString dateText(DWORD flags, bool date)
    {
        wchar_t text[80];
        const int length = date ? GetDateFormatW(LOCALE_USER_DEFAULT, flags, nullptr, nullptr, text, 80)
                                : GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, L"HH:mm", text, 80);
        return length > 0 ? fromWide(text, static_cast<size_t>(length - 1)) : UString();
    }

    NoShell m_shell;
};

} // namespace

Platform &platform()
{
    static PlaceholderPlatform placeholder;
    return placeholder;
}

} // namespace corvane::win32

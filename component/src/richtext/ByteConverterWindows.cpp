#include "ByteConverter.h"

#include <windows.h>

namespace corvane {

namespace {

class WindowsConverter final : public ByteConverter {
public:
    explicit WindowsConverter(UINT codePage)
        : m_codePage(codePage)
    {
    }

    int convert(const unsigned char *bytes, size_t length, char16_t out[2]) override
    {
        const int count = static_cast<int>(length < 4 ? length : 4);
        wchar_t units[4];
        // Refusing invalid bytes makes a lone lead byte or a broken UTF-8 sequence no character,
        // as iconv does; some pages refuse the flag itself, and are asked without it.
        const auto input = reinterpret_cast<const char *>(bytes);
        int made = MultiByteToWideChar(m_codePage, MB_ERR_INVALID_CHARS, input, count, units, 4);
        if (made == 0 && GetLastError() == ERROR_INVALID_FLAGS)
            made = MultiByteToWideChar(m_codePage, 0, input, count, units, 4);
        if (made < 1 || made > 2)
            return 0;
        for (int i = 0; i < made; ++i)
            out[i] = static_cast<char16_t>(units[i]);
        return made;
    }

private:
    UINT m_codePage;
};

} // namespace

std::unique_ptr<ByteConverter> ByteConverter::open(int codePage)
{
    CPINFO info;
    if (codePage <= 0 || !GetCPInfo(static_cast<UINT>(codePage), &info))
        return nullptr;
    return std::make_unique<WindowsConverter>(static_cast<UINT>(codePage));
}

} // namespace corvane

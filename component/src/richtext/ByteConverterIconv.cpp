#include "ByteConverter.h"

#include <iconv.h>

#include <algorithm>
#include <string>

namespace corvane {

namespace {

// The converter's name for a Windows code page number.
std::string converterName(int codePage)
{
    switch (codePage) {
    case 10000: return "MACINTOSH";
    case 10007: return "MAC-CYRILLIC";
    case 10029: return "MAC-CENTRALEUROPE";
    case 20127: return "ASCII";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 28591: return "ISO-8859-1";
    case 65001: return "UTF-8";
    default: break;
    }
    if (codePage >= 28592 && codePage <= 28606)
        return "ISO-8859-" + std::to_string(codePage - 28590);
    return "CP" + std::to_string(codePage);
}

class IconvConverter final : public ByteConverter {
public:
    explicit IconvConverter(iconv_t handle)
        : m_handle(handle)
    {
    }
    ~IconvConverter() override { iconv_close(m_handle); }

    int convert(const unsigned char *bytes, size_t length, char16_t out[2]) override
    {
        iconv(m_handle, nullptr, nullptr, nullptr, nullptr); // a fresh state for each character
        char input[4] = {};
        for (size_t i = 0; i < length && i < 4; ++i)
            input[i] = static_cast<char>(bytes[i]);
        char *in = input;
        size_t inLeft = std::min<size_t>(length, 4);
        char output[16];
        char *o = output;
        size_t outLeft = sizeof output;
        if (iconv(m_handle, &in, &inLeft, &o, &outLeft) == static_cast<size_t>(-1) || inLeft != 0)
            return 0;
        // Some pages (Hebrew, Vietnamese) hold a letter back until they see whether a
        // combining mark follows: it is let out.
        if (iconv(m_handle, nullptr, nullptr, &o, &outLeft) == static_cast<size_t>(-1))
            return 0;
        const int units = static_cast<int>((sizeof output - outLeft) / 2);
        if (units < 1 || units > 2)
            return 0;
        for (int i = 0; i < units; ++i)
            out[i] = static_cast<char16_t>(static_cast<unsigned char>(output[2 * i])
                                           | static_cast<unsigned char>(output[2 * i + 1]) << 8);
        return units;
    }

private:
    iconv_t m_handle;
};

} // namespace

std::unique_ptr<ByteConverter> ByteConverter::open(int codePage)
{
    const iconv_t handle = iconv_open("UTF-16LE", converterName(codePage).c_str());
    if (handle == reinterpret_cast<iconv_t>(-1))
        return nullptr;
    return std::make_unique<IconvConverter>(handle);
}

} // namespace corvane

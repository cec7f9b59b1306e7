#include <corvane/Errors.h>
#include <corvane/Variant.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace corvane {

Variant Variant::integer(int16_t value)
{
    Variant v;
    v.m_value = value;
    return v;
}

Variant Variant::longValue(int32_t value)
{
    Variant v;
    v.m_value = value;
    return v;
}

Variant Variant::boolean(bool value)
{
    Variant v;
    v.m_value = Bool{value};
    return v;
}

Variant Variant::real(double value)
{
    Variant v;
    v.m_value = value;
    return v;
}

Variant Variant::string(UString value)
{
    Variant v;
    v.m_value = std::move(value);
    return v;
}

Variant Variant::array(std::vector<Variant> elements)
{
    Variant v;
    v.m_value = std::move(elements);
    return v;
}

double roundHalfEven(double value)
{
    const double floor = std::floor(value);
    const double diff = value - floor;
    if (diff < 0.5)
        return floor;
    if (diff > 0.5)
        return floor + 1;
    return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

namespace {

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view trimBlanks(std::u16string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Hexadecimal (&H) and octal (&O) literals: 16-bit when they fit four hex digits, as the
// run-time reads them (&HFFFF is -1).
bool parseRadix(std::u16string_view text, double &value)
{
    const int base = (text[1] == u'H' || text[1] == u'h') ? 16 : 8;
    if (text.size() < 3)
        return false;
    unsigned long long n = 0;
    for (size_t i = 2; i < text.size(); ++i) {
        const char16_t c = text[i];
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return false;
        if (digit >= base)
            return false;
        n = n * base + digit;
        if (n > 0xFFFFFFFFull)
            return false;
    }
    if (n <= 0xFFFF)
        value = static_cast<int16_t>(static_cast<uint16_t>(n));
    else
        value = static_cast<int32_t>(static_cast<uint32_t>(n));
    return true;
}

double checkedRange(double value, double low, double high)
{
    const double rounded = roundHalfEven(value);
    if (!(rounded >= low && rounded <= high))
        throw RuntimeError(err::Overflow);
    return rounded;
}

} // namespace

bool parseNumber(std::u16string_view text, double &value)
{
    text = trimBlanks(text);
    if (text.empty())
        return false;
    if (text[0] == u'&' && text.size() >= 2 && (text[1] == u'H' || text[1] == u'h' || text[1] == u'O' || text[1] == u'o'))
        return parseRadix(text, value);
    std::string ascii;
    ascii.reserve(text.size());
    for (const char16_t c : text) {
        if (c >= 0x80)
            return false;
        const char a = static_cast<char>(c);
        ascii.push_back(a == 'd' || a == 'D' ? 'E' : a);
    }
    std::string_view digits = ascii;
    bool negative = false;
    if (digits[0] == '+' || digits[0] == '-') {
        negative = digits[0] == '-';
        digits.remove_prefix(1);
    }
    if (digits.empty() || !(std::isdigit(static_cast<unsigned char>(digits[0])) || digits[0] == '.'))
        return false;
    double parsed = 0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), parsed);
    if (result.ec != std::errc() || result.ptr != digits.data() + digits.size())
        return false;
    value = negative ? -parsed : parsed;
    return std::isfinite(value);
}

UString numberText(double value)
{
    if (value == 0)
        return u"0";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    std::string text(buffer, result.ptr);
    // Exponent form as the run-time writes it: "1E+20", "1.5E-07".
    const auto e = text.find('e');
    if (e != std::string::npos) {
        std::string mantissa = text.substr(0, e);
        std::string exponent = text.substr(e + 1);
        const char sign = exponent[0];
        exponent = exponent.substr(1);
        while (exponent.size() < 2)
            exponent.insert(exponent.begin(), '0');
        text = mantissa + "E" + sign + exponent;
    }
    return UString(text.begin(), text.end());
}

double Variant::toDouble() const
{
    switch (type()) {
    case Type::Empty: return 0;
    case Type::Integer: return std::get<int16_t>(m_value);
    case Type::Long: return std::get<int32_t>(m_value);
    case Type::Boolean: return std::get<Bool>(m_value).value ? -1 : 0;
    case Type::Double: return std::get<double>(m_value);
    case Type::String: {
        double value;
        if (!parseNumber(std::get<UString>(m_value), value))
            throw RuntimeError(err::TypeMismatch);
        return value;
    }
    case Type::Array: break;
    }
    throw RuntimeError(err::TypeMismatch);
}

int16_t Variant::toInteger() const { return static_cast<int16_t>(checkedRange(toDouble(), -32768.0, 32767.0)); }

int32_t Variant::toLong() const { return static_cast<int32_t>(checkedRange(toDouble(), -2147483648.0, 2147483647.0)); }

bool Variant::toBoolean() const
{
    if (type() == Type::Boolean)
        return std::get<Bool>(m_value).value;
    if (type() == Type::String) {
        const auto text = trimBlanks(std::get<UString>(m_value));
        if (equalsIgnoreCase(text, u"True"))
            return true;
        if (equalsIgnoreCase(text, u"False"))
            return false;
    }
    return toDouble() != 0;
}

UString Variant::toString() const
{
    switch (type()) {
    case Type::Empty: return {};
    case Type::Integer: return decimal(std::get<int16_t>(m_value));
    case Type::Long: return decimal(std::get<int32_t>(m_value));
    case Type::Boolean: return std::get<Bool>(m_value).value ? u"True" : u"False";
    case Type::Double: return numberText(std::get<double>(m_value));
    case Type::String: return std::get<UString>(m_value);
    case Type::Array: break;
    }
    throw RuntimeError(err::TypeMismatch);
}

const std::vector<Variant> &Variant::elements() const
{
    if (type() != Type::Array)
        throw RuntimeError(err::TypeMismatch);
    return std::get<std::vector<Variant>>(m_value);
}

} // namespace corvane

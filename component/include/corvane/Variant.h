// Automation values: results and event arguments of the class.
#pragma once

#include "Export.h"

#include "UString.h"

#include <variant>
#include <vector>

namespace corvane {

class CORVANE_EXPORT Variant {
public:
    enum class Type { Empty, Integer, Long, Boolean, Double, String, Array };

    Variant() = default;
    static Variant integer(int16_t value);
    static Variant longValue(int32_t value);
    static Variant boolean(bool value);
    static Variant real(double value);
    static Variant string(UString value);
    static Variant array(std::vector<Variant> elements);

    Type type() const { return static_cast<Type>(m_value.index()); }
    bool isEmpty() const { return type() == Type::Empty; }

    // The automation conversions (CInt, CLng, CBool, CDbl, CStr). Text converts to numbers with
    // leading/trailing blanks allowed, fractions rounded half to even; failures raise
    // RuntimeError 13 (not a number) or 6 (out of range).
    int16_t toInteger() const;
    int32_t toLong() const;
    bool toBoolean() const;
    double toDouble() const;
    UString toString() const;

    // The elements of an Array (RuntimeError 13 for any other type).
    const std::vector<Variant> &elements() const;

    bool operator==(const Variant &other) const = default;

private:
    struct Bool {
        bool value;
        bool operator==(const Bool &) const = default;
    };
    std::variant<std::monostate, int16_t, int32_t, Bool, double, UString, std::vector<Variant>> m_value;
};

// Number to text as the automation run-time writes it: up to 15 significant digits, no
// trailing zeros, exponent form outside 1e-15..1e15 ("1.5", "12", "1E+20").
CORVANE_EXPORT UString numberText(double value);

// Text to number by the run-time's rules; false when the text is not a number.
CORVANE_EXPORT bool parseNumber(std::u16string_view text, double &value);

// Round half to even, as the run-time does when converting to integers.
CORVANE_EXPORT double roundHalfEven(double value);

} // namespace corvane

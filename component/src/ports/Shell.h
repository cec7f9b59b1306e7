// The shell: hands a file to the handler the system associates with its type, or opens an
// address. Results follow the shell's codes: above 32 accepted; 31 no associated handler; 2 file
// not found, 3 path not found, 5 access denied, 11 bad format; 32 and below are errors.
#pragma once

#include <corvane/UString.h>

#include <cstdint>

namespace corvane {

// The shell's codes.
namespace shell {
constexpr int32_t FileNotFound = 2;
constexpr int32_t PathNotFound = 3;
constexpr int32_t AccessDenied = 5;
constexpr int32_t BadFormat = 11;
constexpr int32_t NoAssociation = 31;
constexpr int32_t LastError = 32; // codes above it: the file was taken
constexpr int32_t Accepted = 42;  // what the shells here answer when they took the file
} // namespace shell

class Shell {
public:
    virtual ~Shell() = default;
    // verb "print" or "open"; windowStyle 0 hidden, 1 normal. "print" hands the file to the
    // named printer (the default one when the name is empty).
    virtual int32_t execute(std::u16string_view verb, const UString &file, int32_t windowStyle,
                            const UString &printer) = 0;
};

} // namespace corvane

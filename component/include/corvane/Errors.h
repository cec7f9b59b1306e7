// Run-time errors: the numbers and texts of the automation run-time, so callers' checks carry over.
#pragma once

#include "Export.h"

#include "UString.h"

#include <exception>

namespace corvane {

namespace err {
// The document driver's own error for a file to print that does not exist, with its text.
constexpr int32_t DocumentFileNotFound = -1;
constexpr char16_t DocumentFileNotFoundText[] = u"File Not Found!";

constexpr int32_t InvalidProcedureCall = 5;
constexpr int32_t Overflow = 6;
constexpr int32_t OutOfMemory = 7;
constexpr int32_t SubscriptOutOfRange = 9;
constexpr int32_t DivisionByZero = 11;
constexpr int32_t TypeMismatch = 13;
constexpr int32_t ErrorLoadingDll = 48;
constexpr int32_t BadFileNameOrNumber = 52;
constexpr int32_t FileNotFound = 53;
constexpr int32_t FileAlreadyOpen = 55;
constexpr int32_t DeviceIOError = 57;
constexpr int32_t FileAlreadyExists = 58;
constexpr int32_t DiskFull = 61;
constexpr int32_t InputPastEndOfFile = 62;
constexpr int32_t PermissionDenied = 70;
constexpr int32_t PathFileAccessError = 75;
constexpr int32_t PathNotFound = 76;
constexpr int32_t InvalidPropertyValue = 380;
constexpr int32_t CannotCreateObject = 429;
constexpr int32_t ObjectDoesNotSupport = 438;
constexpr int32_t ObjectDoesNotSupportAction = 445;
constexpr int32_t ArgumentNotOptional = 449;
constexpr int32_t WrongNumberOfArguments = 450;
constexpr int32_t PrinterError = 482;
// An object used from a thread other than the one that created it (RPC_E_WRONG_THREAD).
constexpr int32_t WrongThread = static_cast<int32_t>(0x8001010E);
} // namespace err

// The standard description of a run-time error number ("Type mismatch"), or
// "Application-defined or object-defined error" for numbers without one.
CORVANE_EXPORT UString errorDescription(int32_t number);

// A run-time error raised by the core or a port; carried to the method's error handler.
class CORVANE_EXPORT RuntimeError : public std::exception {
public:
    explicit RuntimeError(int32_t number);
    RuntimeError(int32_t number, UString description);

    int32_t number() const { return m_number; }
    const UString &description() const { return m_description; }
    const char *what() const noexcept override { return m_what.c_str(); }

private:
    int32_t m_number;
    UString m_description;
    std::string m_what;
};

// Inside a catch block: the run-time error being handled. A RuntimeError is itself; a failed
// allocation (a document too big for memory) is error 7, "Out of memory"; anything else is
// thrown on.
CORVANE_EXPORT RuntimeError currentRuntimeError();

} // namespace corvane

#include <corvane/Errors.h>
#include <new>

namespace corvane {

UString errorDescription(int32_t number)
{
    switch (number) {
    case err::InvalidProcedureCall: return u"Invalid procedure call or argument";
    case err::Overflow: return u"Overflow";
    case err::OutOfMemory: return u"Out of memory";
    case err::SubscriptOutOfRange: return u"Subscript out of range";
    case err::DivisionByZero: return u"Division by zero";
    case err::TypeMismatch: return u"Type mismatch";
    case err::BadFileNameOrNumber: return u"Bad file name or number";
    case err::FileNotFound: return u"File not found";
    case err::FileAlreadyOpen: return u"File already open";
    case err::DeviceIOError: return u"Device I/O error";
    case err::FileAlreadyExists: return u"File already exists";
    case err::DiskFull: return u"Disk full";
    case err::InputPastEndOfFile: return u"Input past end of file";
    case err::PermissionDenied: return u"Permission denied";
    case err::PathFileAccessError: return u"Path/File access error";
    case err::PathNotFound: return u"Path not found";
    case err::ErrorLoadingDll: return u"Error in loading DLL";
    case err::InvalidPropertyValue: return u"Invalid property value";
    case err::CannotCreateObject: return u"ActiveX component can't create object";
    case err::ObjectDoesNotSupport: return u"Object doesn't support this property or method";
    case err::ObjectDoesNotSupportAction: return u"Object doesn't support this action";
    case err::ArgumentNotOptional: return u"Argument not optional";
    case err::WrongNumberOfArguments: return u"Wrong number of arguments or invalid property assignment";
    case err::PrinterError: return u"Printer error";
    case err::WrongThread:
        return u"The application called an interface that was marshalled for a different thread";
    default: return u"Application-defined or object-defined error";
    }
}

RuntimeError::RuntimeError(int32_t number)
    : RuntimeError(number, errorDescription(number))
{
}

RuntimeError::RuntimeError(int32_t number, UString description)
    : m_number(number)
    , m_description(std::move(description))
    , m_what("Run-time error " + std::to_string(number) + ": " + toUtf8(m_description))
{
}

RuntimeError currentRuntimeError()
{
    try {
        throw;
    } catch (const RuntimeError &error) {
        return error;
    } catch (const std::bad_alloc &) {
        return RuntimeError(err::OutOfMemory);
    }
}

} // namespace corvane

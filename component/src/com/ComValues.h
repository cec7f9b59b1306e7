// Values and errors between the core and COM callers: strings as BSTRs, the core's Variant as
// a VARIANT, and the core's run-time errors as failed results with error information.
#pragma once

#include <corvane/Errors.h>
#include <corvane/Variant.h>

// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

namespace corvane::com {

UString fromBstr(BSTR text);
// A new BSTR (the caller frees it); null when memory ran out.
BSTR toBstr(const UString &text);

// Writes value into a cleared VARIANT: Integer VT_I2, Long VT_I4, Boolean VT_BOOL, Double VT_R8,
// String VT_BSTR, Array a zero-based SAFEARRAY of VARIANTs, Empty VT_EMPTY.
HRESULT toVariant(const Variant &value, VARIANT *out);

// The result that stands for a run-time error: numbers 1 to 65535 are the run-time's own
// (0x800A0000 + number, which scripts show as the number itself); negative numbers are results
// already (0x8001010E stays itself).
HRESULT resultOf(int32_t number);

// Fails the current call with error: the error information (number through the result, the
// description, the class as its source) set for the calling thread, and the result returned.
HRESULT fail(const RuntimeError &error);

// Inside a catch block: the failure of the error being handled (7 "Out of memory" for a failed
// allocation; E_UNEXPECTED for anything that is not a run-time error).
HRESULT failWithCurrent();

} // namespace corvane::com

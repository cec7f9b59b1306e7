// What the pieces of the COM server share: the count of live objects and locks that decides
// whether the DLL may be unloaded, and the type library embedded in the DLL.
#pragma once

// clang-format off
#include <windows.h>
#include <oaidl.h>
// clang-format on

#include <string>

namespace corvane::com {

// Every object of the server counts itself while it lives; LockServer counts too.
void lockModule();
void unlockModule();
bool moduleInUse();

// The DLL's own module handle and full path.
HMODULE module();
std::wstring modulePath();

// The type library embedded as resource 1, loaded once; null when it cannot be loaded.
ITypeLib *typeLibrary();
// A type description of the library by its GUID (AddRef'd), or null.
ITypeInfo *typeInfoOf(const GUID &guid);

} // namespace corvane::com

// Creation by programmatic identifier, as late-binding callers create objects: the
// registration record names the library, whose class factory makes the object.
#pragma once

#include "Export.h"

#include <string>

class QObject;

namespace corvane {

// The automation object for progId; the caller owns it. RuntimeError 429 "ActiveX component
// can't create object" when no record exists, the library cannot be loaded, or its factory
// refuses; also, with a description naming the library and the reason, when others may change
// the library: it must be a regular file of the user's or root's that no one else may write, in
// folders up to / that no one else may write (a sticky folder of root's above its own excepted).
CORVANE_EXPORT QObject *CreateObject(const std::string &progId);

// Registers the library at path (loads it and calls its DllRegisterServer); false on failure.
CORVANE_EXPORT bool registerServer(const std::string &libraryPath);
// Registers libraryPath when progId has no usable record (none, or its library is gone).
CORVANE_EXPORT bool ensureRegistered(const std::string &progId, const std::string &libraryPath);

// The folder of the registration records (empty when the account has no home folder).
CORVANE_EXPORT std::string registrationFolder();

// Registers the library at libraryPath (an absolute path, as it will be when installed) for
// every account: the record goes to dataFolder/corvane/registry, a folder of $XDG_DATA_DIRS
// such as /usr/share, and is read when the account has no record of its own. The library is
// not loaded. False on failure.
CORVANE_EXPORT bool registerForEveryAccount(const std::string &dataFolder, const std::string &libraryPath);

} // namespace corvane

// The per-user registration records of in-process classes: one small text file per
// programmatic identifier under $XDG_DATA_HOME/corvane/registry (~/.local/share when unset, the
// home being $HOME or else the account's home in the password database). With no home at all
// there is no folder: nothing is registered or read. A record is read only if it is a regular
// file owned by the user (or root) that no one else may write.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace corvane::registry {

// Empty when the account has no home.
std::filesystem::path folder();

// Key=value lines; the keys written are ProgID, CLSID, TypeLib, TypeLibVersion, Interface,
// EventInterface, ThreadingModel and InprocServer32 (the library's path).
using Record = std::map<std::string, std::string>;

std::optional<Record> read(const std::string &progId);
bool write(const std::string &progId, const Record &record);
bool remove(const std::string &progId);

} // namespace corvane::registry

// The per-user registration records of in-process classes: one small text file per
// programmatic identifier under $XDG_DATA_HOME/corvane/registry (~/.local/share when unset).
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace corvane::registry {

std::filesystem::path folder();

// Key=value lines; the keys written are ProgID, CLSID, TypeLib, TypeLibVersion, Interface,
// EventInterface, ThreadingModel and InprocServer32 (the library's path).
using Record = std::map<std::string, std::string>;

std::optional<Record> read(const std::string &progId);
bool write(const std::string &progId, const Record &record);
bool remove(const std::string &progId);

} // namespace corvane::registry

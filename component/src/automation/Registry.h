// The per-user registration records of in-process classes: one small text file per
// programmatic identifier under $XDG_DATA_HOME/corvane/registry (~/.local/share when unset, the
// home being $HOME or else the account's home in the password database). With no home at all
// there is no folder for the user. An installed component may also register for every account:
// its record is then under DATA/corvane/registry for a folder DATA of $XDG_DATA_DIRS
// (/usr/local/share:/usr/share when unset), read after the user's own. A record is read only if
// it is a regular file owned by the user (or root) that no one else may write.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace corvane::registry {

// Empty when the account has no home.
std::filesystem::path folder();
// The shared folders, in the order they are read.
std::vector<std::filesystem::path> sharedFolders();

// Key=value lines; the keys written are ProgID, CLSID, TypeLib, TypeLibVersion, Interface,
// EventInterface, ThreadingModel and InprocServer32 (the library's path).
using Record = std::map<std::string, std::string>;

// The user's record, else the first shared one.
std::optional<Record> read(const std::string &progId);
bool write(const std::string &progId, const Record &record);
// Writes a record into a registry folder of one's choosing (a shared one), creating it.
bool writeIn(const std::filesystem::path &registryFolder, const std::string &progId, const Record &record);
bool remove(const std::string &progId);

// The library a record names, checked under the record's own rule before it is loaded: a
// regular file owned by the user or root that no one else may write, in a folder of the user's
// or root's that no one else may write. The folders above it are the user's or root's and no one
// else may write them either, except a folder of root's with the sticky bit (such as /tmp), where
// no one may rename or remove what is not theirs. Links are followed first, and the rule applies
// to the file and folders they lead to.
struct LibraryCheck {
    std::string path;    // the real path, to load when trusted
    std::string refusal; // why it may not be loaded; empty when it may
};
LibraryCheck checkLibrary(const std::string &path);

} // namespace corvane::registry

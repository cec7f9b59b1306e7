#include "Registry.h"

#include <cstdlib>
#include <fstream>

namespace corvane::registry {

namespace fs = std::filesystem;

fs::path folder()
{
    if (const char *data = std::getenv("XDG_DATA_HOME"); data && *data)
        return fs::path(data) / "corvane" / "registry";
    const char *home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".local" / "share" / "corvane" / "registry";
}

namespace {
fs::path recordPath(const std::string &progId) { return folder() / (progId + ".reg"); }

bool validProgId(const std::string &progId)
{
    if (progId.empty() || progId.size() > 200)
        return false;
    for (const char c : progId) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
            || c == '.' || c == '_' || c == '-';
        if (!ok)
            return false;
    }
    return progId.find("..") == std::string::npos && progId.front() != '.';
}
} // namespace

std::optional<Record> read(const std::string &progId)
{
    if (!validProgId(progId))
        return std::nullopt;
    std::ifstream in(recordPath(progId));
    if (!in)
        return std::nullopt;
    Record record;
    std::string line;
    while (std::getline(in, line)) {
        const auto equals = line.find('=');
        if (equals != std::string::npos)
            record[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return record;
}

bool write(const std::string &progId, const Record &record)
{
    if (!validProgId(progId))
        return false;
    std::error_code ec;
    fs::create_directories(folder(), ec);
    // Written beside and renamed over, so a reader never sees half a record.
    const fs::path path = recordPath(progId);
    const fs::path temp = path.string() + ".new";
    {
        std::ofstream out(temp, std::ios::trunc);
        if (!out)
            return false;
        for (const auto &[key, value] : record)
            out << key << '=' << value << '\n';
        if (!out.flush())
            return false;
    }
    fs::rename(temp, path, ec);
    return !ec;
}

bool remove(const std::string &progId)
{
    if (!validProgId(progId))
        return false;
    std::error_code ec;
    fs::remove(recordPath(progId), ec);
    return !ec;
}

} // namespace corvane::registry

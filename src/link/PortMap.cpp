#include "link/PortMap.h"

#include <cstdlib>
#include <pwd.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace {

std::optional<std::string> nonEmpty(std::optional<std::string> value) {
    if (value && value->empty()) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> environmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

std::optional<std::string> homeFolder() {
    std::optional<std::string> home = nonEmpty(environmentValue("HOME"));
    if (home) {
        return home;
    }
    const passwd* entry = ::getpwuid(::getuid());
    if (entry != nullptr && entry->pw_dir != nullptr) {
        return std::string(entry->pw_dir);
    }
    return std::nullopt;
}

// A map entry counts when the entry itself is there, even as a link to a device that is
// unplugged: the map then says where the port is, and its open reports the missing device
// instead of silently using another one.
} // namespace

PortMap::PortMap(std::optional<std::string> portsDir, std::optional<std::string> home,
                 std::optional<std::string> winePrefix, std::filesystem::path systemMap)
    : portsDir_(nonEmpty(std::move(portsDir))), home_(nonEmpty(std::move(home))),
      winePrefix_(nonEmpty(std::move(winePrefix))), systemMap_(std::move(systemMap)) {}

PortMap PortMap::fromEnvironment() {
    return PortMap(environmentValue("R550_PORTS_DIR"), homeFolder(),
                   environmentValue("WINEPREFIX"));
}

std::vector<std::filesystem::path> PortMap::candidates(int portNumber) const {
    std::vector<std::filesystem::path> places;
    if (portNumber < kFirstPort || portNumber > kLastPort) {
        return places;
    }
    const std::string name = "com" + std::to_string(portNumber);
    if (portsDir_) {
        places.push_back(std::filesystem::path(*portsDir_) / name);
        return places;
    }
    if (home_) {
        places.push_back(std::filesystem::path(*home_) / ".config" / "r550tool" / "ports" / name);
    }
    places.push_back(systemMap_ / name);
    if (winePrefix_) {
        places.push_back(std::filesystem::path(*winePrefix_) / "dosdevices" / name);
    } else if (home_) {
        places.push_back(std::filesystem::path(*home_) / ".wine" / "dosdevices" / name);
    }
    places.push_back("/dev/ttyS" + std::to_string(portNumber - 1));
    return places;
}

std::optional<std::filesystem::path> PortMap::resolve(int portNumber) const {
    const std::vector<std::filesystem::path> places = candidates(portNumber);
    if (portsDir_ && !places.empty()) {
        return places.front();
    }
    for (const std::filesystem::path& place : places) {
        if (entryExists(place)) {
            return place;
        }
    }
    return std::nullopt;
}

bool PortMap::entryExists(const std::filesystem::path& path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

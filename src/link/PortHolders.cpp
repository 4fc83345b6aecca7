#include "link/PortHolders.h"

#include <cerrno>
#include <charconv>
#include <fstream>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace {

// A folder of /proc named by a number is a process; anything else (self, sys, net) is not.
int processNumber(const std::string& name) {
    int pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
    return error == std::errc() && end == name.data() + name.size() ? pid : 0;
}

std::string programOf(const std::filesystem::path& process) {
    std::ifstream comm(process / "comm");
    std::string name;
    std::getline(comm, name);
    return name.empty() ? std::string("another program") : name;
}

} // namespace

PortHolders::PortHolders(std::filesystem::path proc) : proc_(std::move(proc)) {}

std::optional<PortHolders::Holder> PortHolders::find(const std::filesystem::path& device) {
    sawAll_ = true;
    struct stat info {};
    if (::stat(device.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) {
        return std::nullopt;
    }
    const int self = static_cast<int>(::getpid());
    std::error_code error;
    for (std::filesystem::directory_iterator it(proc_, error), end; !error && it != end;
         it.increment(error)) {
        const int pid = processNumber(it->path().filename().string());
        // This program's own opens are told apart by the serial link's lock.
        if (pid <= 0 || pid == self) {
            continue;
        }
        if (std::optional<Holder> holder = holderAmong(it->path(), info.st_rdev)) {
            holder->pid = pid;
            return holder;
        }
    }
    if (error) {
        sawAll_ = false;
    }
    return std::nullopt;
}

std::optional<PortHolders::Holder> PortHolders::holderAmong(const std::filesystem::path& process,
                                                            unsigned long rdev) {
    std::error_code error;
    std::filesystem::directory_iterator it(process / "fd", error);
    // A process that ended meanwhile holds nothing; one of another user cannot be looked into.
    if (error) {
        sawAll_ = sawAll_ && error.value() == ENOENT;
        return std::nullopt;
    }
    for (std::filesystem::directory_iterator end; !error && it != end; it.increment(error)) {
        struct stat info {};
        if (::stat(it->path().c_str(), &info) == 0 && S_ISCHR(info.st_mode) &&
            info.st_rdev == rdev) {
            return Holder{0, programOf(process)};
        }
    }
    return std::nullopt;
}

#include "DeviceLink.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

bool DeviceLink::create(const std::string& path, const std::string& target, std::string& error) {
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        error = path + " exists and is not a symbolic link";
        return false;
    }
    // Made beside the final name and renamed over it, so a tool looking at the path sees either
    // the old link or the new one, never none.
    const std::string temp = path + ".r550-sim-" + std::to_string(::getpid());
    ::unlink(temp.c_str());
    if (::symlink(target.c_str(), temp.c_str()) != 0) {
        error = "symlink " + temp + ": " + std::strerror(errno);
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        error = "rename to " + path + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    path_ = path;
    target_ = target;
    return true;
}

void DeviceLink::remove() {
    if (path_.empty()) {
        return;
    }
    std::array<char, 4096> buffer{};
    const ssize_t n = ::readlink(path_.c_str(), buffer.data(), buffer.size() - 1);
    if (n >= 0 && std::string(buffer.data(), static_cast<std::size_t>(n)) == target_) {
        ::unlink(path_.c_str());
    }
    path_.clear();
    target_.clear();
}

#include "link/PortWatcher.h"

#include "base/InterruptSignals.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

// How long the watched folders must be still before a look, and the most a look waits for it.
constexpr int kQuietMs = 100;
constexpr int kMostSettleMs = 1000;

namespace fs = std::filesystem;

// Entries made, removed, renamed or given new permissions; not reads and writes, which the
// readers' own traffic would cause.
constexpr std::uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                                  IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// Links that lead through links: a bound, against a loop.
constexpr int kMostLinks = 16;

// What stands at `entry` now: the entry and the character device behind it, or nothing.
std::string identity(const fs::path& entry) {
    struct stat own {};
    struct stat target {};
    if (::lstat(entry.c_str(), &own) != 0 || ::stat(entry.c_str(), &target) != 0 ||
        !S_ISCHR(target.st_mode)) {
        return {};
    }
    std::error_code error;
    const fs::path device = fs::canonical(entry, error);
    return device.string() + " " + std::to_string(own.st_ino) + " " +
           std::to_string(target.st_rdev);
}

} // namespace

bool PortWatcher::start(std::string& error) {
    inotify_.reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!inotify_.valid()) {
        error = std::string("inotify: ") + std::strerror(errno);
        return false;
    }
    return true;
}

void PortWatcher::watch(const fs::path& place) {
    // A folder that is not there yet is watched through the nearest one that is, so that its
    // coming is seen (/dev/serial/by-id comes with the first adapter).
    fs::path folder = place;
    std::error_code error;
    while (!folder.empty() && !fs::is_directory(folder, error) && folder != folder.parent_path()) {
        folder = folder.parent_path();
    }
    if (folder.empty() || watched_.count(folder.string()) != 0) {
        return;
    }
    if (::inotify_add_watch(inotify_.get(), folder.c_str(), kEvents) >= 0) {
        watched_.insert(folder.string());
    }
}

void PortWatcher::watchChain(const fs::path& entry) {
    fs::path current = fs::absolute(entry);
    for (int i = 0; i < kMostLinks; ++i) {
        watch(current.parent_path());
        std::error_code error;
        if (!fs::is_symlink(current, error)) {
            return;
        }
        const fs::path target = fs::read_symlink(current, error);
        if (error) {
            return;
        }
        current = (current.parent_path() / target).lexically_normal();
    }
}

void PortWatcher::drain() {
    alignas(inotify_event) std::array<char, 4096> buffer{};
    while (::read(inotify_.get(), buffer.data(), buffer.size()) > 0) {
    }
    // A folder that went took its watch with it; it is watched again once it is back.
    watched_.clear();
}

void PortWatcher::settle(int quietMs, int mostMs) {
    for (int waited = 0; waited < mostMs; waited += quietMs) {
        drain();
        pollfd wait{inotify_.get(), POLLIN, 0};
        if (::poll(&wait, 1, quietMs) == 0) {
            return;
        }
    }
}

std::vector<PortName> PortWatcher::look() {
    drain();
    std::vector<std::pair<PortName, bool>> candidates;
    for (const PortName& port : ports_) {
        candidates.emplace_back(port, true);
        for (const fs::path& place : port.places(map_)) {
            watchChain(place);
        }
    }
    for (const fs::path& folder : folders_) {
        watch(folder);
        std::error_code error;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
            // udev makes a link under a hidden name first, then renames it.
            if (entry.path().filename().string().starts_with('.')) {
                continue;
            }
            candidates.emplace_back(PortName::path(entry.path()), looked_);
            watchChain(entry.path());
        }
    }
    std::map<std::string, std::string> now;
    std::set<std::string> devices;
    std::vector<PortName> appeared;
    for (const auto& [port, counts] : candidates) {
        const std::optional<fs::path> entry = port.resolve(map_);
        const std::string found = entry ? identity(*entry) : std::string();
        if (found.empty() || now.count(port.label()) != 0) {
            continue;
        }
        now[port.label()] = found;
        const auto before = present_.find(port.label());
        const bool isNew = before == present_.end() || before->second != found;
        // One device behind two names (COM3 and its adapter entry) is applied once.
        if (isNew && counts && devices.insert(found.substr(0, found.find(' '))).second) {
            appeared.push_back(port);
        }
    }
    present_ = std::move(now);
    looked_ = true;
    return appeared;
}

std::optional<std::vector<PortName>> PortWatcher::next(InterruptSignals& signals,
                                                       std::string& error) {
    if (!looked_) {
        std::vector<PortName> present = look();
        if (!present.empty()) {
            return present;
        }
    }
    for (;;) {
        std::array<pollfd, 2> waits{{{signals.descriptor(), POLLIN, 0}, {descriptor(), POLLIN, 0}}};
        if (::poll(waits.data(), waits.size(), -1) < 0 && errno != EINTR) {
            error = std::string("poll: ") + std::strerror(errno);
            return std::nullopt;
        }
        if ((waits[0].revents & POLLIN) != 0 && signals.take() != 0) {
            return std::nullopt;
        }
        if ((waits[1].revents & POLLIN) != 0) {
            settle(kQuietMs, kMostSettleMs);
            std::vector<PortName> appeared = look();
            if (!appeared.empty()) {
                return appeared;
            }
        }
    }
}

#pragma once

#include <filesystem>
#include <optional>
#include <string>

// Which other process has a serial device open. Till software often keeps the reader's port open
// without a lock or exclusive mode; a second opener would then share the line with it, and
// whichever reads first swallows the reader's replies. The kernel tells who holds a device only
// through /proc: every descriptor there that stands for a character device with the same device
// number is a holder, whatever name it was opened under.
//
// A process of another user can be looked into only by root; what cannot be looked into is
// remembered, so that the caller knows whether a port that no one seems to hold may still be
// held by someone it could not see.
class PortHolders {
public:
    struct Holder {
        int pid = 0;
        std::string program; // the name the kernel keeps for it (/proc/PID/comm)
    };

    explicit PortHolders(std::filesystem::path proc = "/proc");

    // The first process other than this one that has `device` open (a character device, links
    // followed); nothing when none is seen or `device` is no character device.
    std::optional<Holder> find(const std::filesystem::path& device);
    // After find: every process could be looked into, so "nothing seen" means "nobody holds it".
    bool sawAll() const { return sawAll_; }

private:
    std::optional<Holder> holderAmong(const std::filesystem::path& process, unsigned long rdev);

    std::filesystem::path proc_;
    bool sawAll_ = true;
};

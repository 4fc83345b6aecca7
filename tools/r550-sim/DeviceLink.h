#pragma once

#include <string>

// The symbolic link through which the tool finds the simulated port, e.g. com1 -> /dev/pts/4.
// Removed again when the object goes, unless something else has replaced it meanwhile.
class DeviceLink {
public:
    DeviceLink() = default;
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;
    ~DeviceLink() { remove(); }

    // Points `path` at `target`, replacing an existing symbolic link in one step. Refuses to
    // replace anything that is not a symbolic link (a real device or a user's file). False with
    // the reason in `error`.
    bool create(const std::string& path, const std::string& target, std::string& error);
    void remove();

private:
    std::string path_;
    std::string target_;
};

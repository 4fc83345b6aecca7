#pragma once

#include "support/ChildProcess.h"

#include <filesystem>
#include <string>

// An Xvfb server on a display number that the server picks itself (-displayfd), so that tests
// running side by side never share a display. There is no window manager on it: windows get the
// keyboard only when a test focuses them.
class VirtualDisplay {
public:
    // False with the reason in `error`. The server's own messages go to `logFile`.
    bool start(const std::filesystem::path& logFile, std::string& error);
    void stop() { server_.stop(); }

    // ":N", or empty before start().
    const std::string& name() const { return name_; }

private:
    ChildProcess server_;
    std::string name_;
};

#pragma once

#include "link/Clock.h"
#include "link/PortIo.h"

#include <cstdint>
#include <string>
#include <vector>

// Records every port write with the time it happened, and every library call by name.
class RecordingPortIo : public PortIo {
public:
    struct Write {
        std::uint16_t port;
        std::uint8_t value;
        std::int64_t atMs;
    };

    explicit RecordingPortIo(const Clock& clock, bool initializeSucceeds = true)
        : clock_(clock), initializeSucceeds_(initializeSucceeds) {}

    bool initialize() override {
        calls.push_back("initialize");
        return initializeSucceeds_;
    }
    void shutdown() override { calls.push_back("shutdown"); }
    bool installDriver() override {
        calls.push_back("installDriver");
        return true;
    }
    bool removeDriver() override {
        calls.push_back("removeDriver");
        return true;
    }
    bool writePort(std::uint16_t port, std::uint8_t value) override {
        calls.push_back("write");
        if (failWritesAfter == 0) {
            return false;
        }
        failWritesAfter -= failWritesAfter > 0 ? 1 : 0;
        writes.push_back({port, value, clock_.nowMilliseconds()});
        return true;
    }
    PortAccess requestAccess() override {
        calls.push_back("requestAccess");
        if (pendingRequests > 0) {
            --pendingRequests;
            return PortAccess::Pending;
        }
        return access;
    }

    std::vector<std::uint8_t> values() const {
        std::vector<std::uint8_t> out;
        for (const Write& w : writes) {
            out.push_back(w.value);
        }
        return out;
    }

    std::vector<Write> writes;
    std::vector<std::string> calls;
    // What requestAccess answers, after answering Pending this many times.
    PortAccess access = PortAccess::Granted;
    int pendingRequests = 0;
    // Writes that still reach the port; -1: all. Later writes fail and record nothing.
    int failWritesAfter = -1;

private:
    const Clock& clock_;
    bool initializeSucceeds_;
};

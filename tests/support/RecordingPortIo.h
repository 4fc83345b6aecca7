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
        writes.push_back({port, value, clock_.nowMilliseconds()});
        calls.push_back("write");
        return true;
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

private:
    const Clock& clock_;
    bool initializeSucceeds_;
};

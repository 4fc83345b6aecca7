#pragma once

#include "link/PortIo.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class Clock;

// Port I/O that reaches no hardware and records each port write as one line of a text file:
// "<ms since the program started> <port> <byte>", e.g. "10342 0x60 0x1b". Each line is
// flushed as it is written, so a trace read while the program runs (or after it crashed) is
// complete up to the last write.
class TracePortIo : public PortIo {
public:
    // Opens path for appending; startMs is the clock's reading at the program's start.
    TracePortIo(const std::string& path, const Clock& clock, std::int64_t startMs);

    // True when the trace file is open; the keyboard link then counts the library as present.
    bool initialize() override;
    void shutdown() override;
    bool installDriver() override;
    bool removeDriver() override;
    // False when the line could not be written; no port is touched either way.
    bool writePort(std::uint16_t port, std::uint8_t value) override;

    bool isOpen() const { return file_ != nullptr; }
    // The trace's descriptor, -1 when it is not open.
    int descriptor() const { return file_ ? ::fileno(file_.get()) : -1; }

private:
    struct FileCloser {
        void operator()(std::FILE* file) const;
    };

    // A buffer of its own, so that no write asks the system about the file first (the helper's
    // test build writes its trace where fstat is no longer allowed). Outlives file_.
    std::array<char, 256> buffer_{};
    std::unique_ptr<std::FILE, FileCloser> file_;
    const Clock& clock_;
    std::int64_t startMs_;
};

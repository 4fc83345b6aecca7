#pragma once

#include <cstdint>
#include <functional>
#include <vector>

class Clock;
class PortIo;
struct FrameBatch;

// Write-only channel to a reader in the keyboard line: bytes written to port 0x60, each followed
// by the reader's 100 ms pause. Nothing comes back on it, so no send can fail.
class KeyboardPortLink {
public:
    static constexpr std::uint16_t kPort = 0x60;
    static constexpr int kPauseMs = 100;

    KeyboardPortLink(PortIo& io, Clock& clock);

    // Initialises the port-I/O library once; on failure installs and removes its driver. Always
    // shuts the library down again. Reports nothing.
    void checkDriver();
    void begin();
    void writeByte(std::uint8_t value, bool pause);
    // Writes one frame byte with the escaping rule, every port write with its own pause.
    void writeEncoded(std::uint8_t value);
    void end();
    bool initialised() const { return initialised_; }

    // 0x1B 0x05 0x1E, pauses after the first two only.
    void sendProbe();
    // Slot 0 of the batch as a single command frame; every write paused.
    void sendFrame(const FrameBatch& batch);
    // The whole batch, opened by 0x1B 0x1D and closed by 0x1B 0x30 (no pause after 0x30);
    // afterEntry runs after each entry, so the window can step its progress bar.
    void sendBatch(const FrameBatch& batch, const std::function<void()>& afterEntry);

private:
    void writeAllPaused(const std::vector<std::uint8_t>& bytes);

    PortIo& io_;
    Clock& clock_;
    bool initialised_ = false;
};

#pragma once

#include "link/Failure.h"
#include "link/PortIo.h"

#include <cstdint>
#include <functional>
#include <vector>

class Clock;
struct FrameBatch;

// Write-only channel to a reader in the keyboard line: bytes written to port 0x60, each followed
// by the reader's 100 ms pause. Nothing comes back on it; a send fails only when a byte did not
// reach the port (the backend lost its access), and then stops at that byte.
class KeyboardPortLink {
public:
    static constexpr std::uint16_t kPort = 0x60;
    static constexpr int kPauseMs = 100;
    // How often a wait for access asks again.
    static constexpr int kAccessPollMs = 100;

    KeyboardPortLink(PortIo& io, Clock& clock);

    // Initialises the port-I/O library once; on failure installs and removes its driver. Always
    // shuts the library down again. Reports nothing.
    void checkDriver();
    // Whether the sends of a command can reach the port; see PortIo::requestAccess.
    PortAccess requestAccess();
    // Asks until the answer is no longer Pending (an authentication may be under way), a tenth
    // of a second apart.
    PortAccess awaitAccess();
    // Why a command cannot use the port with this answer: NoKeyboardAccess, KeyboardAccessRefused,
    // KeyboardHelperLost, KeyboardInUse or PortIoSettingUnknown; None for Granted and Pending.
    static FailureKind accessFailure(PortAccess access);

    // 0x1B 0x05 0x1E, pauses after the first two only. Like every send, it stops at a write the
    // backend refuses; false then (a reader that did not get the probe does not answer).
    bool sendProbe();
    // Slot 0 of the batch as a single command frame; every write paused.
    bool sendFrame(const FrameBatch& batch);
    // The whole batch, opened by 0x1B 0x1D and closed by 0x1B 0x30 (no pause after 0x30);
    // afterEntry runs after each entry, so the window can step its progress bar.
    bool sendBatch(const FrameBatch& batch, const std::function<void()>& afterEntry);

private:
    void begin();
    void end();
    bool writeByte(std::uint8_t value, bool pause);
    bool writeAllPaused(const std::vector<std::uint8_t>& bytes);

    PortIo& io_;
    Clock& clock_;
};

#pragma once

#include "link/PortIo.h"

#include <cstdint>
#include <optional>

// Real writes to the keyboard controller's data port. Access is requested from the kernel in
// initialize (it needs root or CAP_SYS_RAWIO) and given back in shutdown; requestAccess only
// finds out whether the kernel would grant it, and holds nothing afterwards. Without it, and on
// machines that have no such port, writes have no effect: a port instruction is only ever
// executed for a port the kernel has granted, so a write can never fault.
//
// Linux needs no driver of its own for this, so installDriver and removeDriver do nothing.
class HardwarePortIo final : public PortIo {
public:
    static constexpr std::uint16_t kKeyboardDataPort = 0x60;

    HardwarePortIo() = default;
    ~HardwarePortIo() override;
    HardwarePortIo(const HardwarePortIo&) = delete;
    HardwarePortIo& operator=(const HardwarePortIo&) = delete;

    bool initialize() override;
    void shutdown() override;
    bool installDriver() override;
    bool removeDriver() override;
    // True when the byte went out; false, with no effect, without access to that port.
    bool writePort(std::uint16_t port, std::uint8_t value) override;
    // Granted when this process may take the port, otherwise Denied; asks the kernel once.
    PortAccess requestAccess() override;

    bool hasAccess() const { return granted_; }

private:
    // Provided by the platform's own source file (x86 or none).
    static bool setAccess(std::uint16_t port, bool on);
    static void outputByte(std::uint16_t port, std::uint8_t value);

    bool granted_ = false;
    std::optional<PortAccess> answer_;
};

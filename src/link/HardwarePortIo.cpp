#include "link/HardwarePortIo.h"

HardwarePortIo::~HardwarePortIo() {
    shutdown();
}

bool HardwarePortIo::initialize() {
    if (!granted_) {
        granted_ = setAccess(kKeyboardDataPort, true);
    }
    return granted_;
}

void HardwarePortIo::shutdown() {
    if (granted_) {
        setAccess(kKeyboardDataPort, false);
        granted_ = false;
    }
}

bool HardwarePortIo::installDriver() {
    return true;
}

bool HardwarePortIo::removeDriver() {
    return true;
}

bool HardwarePortIo::writePort(std::uint16_t port, std::uint8_t value) {
    // Only the one port that was granted: an out instruction to any other port would fault.
    if (!granted_ || port != kKeyboardDataPort) {
        return false;
    }
    outputByte(port, value);
    return true;
}

PortAccess HardwarePortIo::requestAccess() {
    if (!answer_) {
        // Taken and given back at once: the access is held only while a send runs.
        const bool allowed = granted_ || setAccess(kKeyboardDataPort, true);
        if (allowed && !granted_) {
            setAccess(kKeyboardDataPort, false);
        }
        answer_ = allowed ? PortAccess::Granted : PortAccess::Denied;
    }
    return *answer_;
}

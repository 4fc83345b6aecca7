// Machines without x86 I/O ports: access is never granted, so no byte is ever written.
#if !defined(__x86_64__) && !defined(__i386__)

#include "link/HardwarePortIo.h"

bool HardwarePortIo::setAccess(std::uint16_t /*port*/, bool /*on*/) {
    return false;
}

void HardwarePortIo::outputByte(std::uint16_t /*port*/, std::uint8_t /*value*/) {}

#endif

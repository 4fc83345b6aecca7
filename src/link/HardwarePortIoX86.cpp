// Port access on x86 Linux. Built on every machine; compiles to nothing elsewhere, where
// HardwarePortIoNoPorts.cpp stands in.
#if defined(__x86_64__) || defined(__i386__)

#include "link/HardwarePortIo.h"

#include <sys/io.h>

bool HardwarePortIo::setAccess(std::uint16_t port, bool on) {
    return ::ioperm(port, 1, on ? 1 : 0) == 0;
}

void HardwarePortIo::outputByte(std::uint16_t port, std::uint8_t value) {
    ::outb(value, port);
}

#endif

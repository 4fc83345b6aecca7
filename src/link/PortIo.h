#pragma once

#include <cstdint>

// Byte writes to a PC I/O port (the keyboard controller's data port 0x60), with the library
// steps the keyboard link runs around them. Results are true/false; the link examines only
// initialize's, and only in its driver check.
class PortIo {
public:
    virtual ~PortIo() = default;
    virtual bool initialize() = 0;
    virtual void shutdown() = 0;
    virtual bool installDriver() = 0;
    virtual bool removeDriver() = 0;
    virtual bool writePort(std::uint16_t port, std::uint8_t value) = 0;
};

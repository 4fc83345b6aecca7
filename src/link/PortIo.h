#pragma once

#include <cstdint>

// Whether the writes of a keyboard-line command can reach the port. A command asks before it
// sends, so that a send without access fails with its reason instead of passing for success.
enum class PortAccess {
    // Writes go out (for the "none" and "trace" backends: are dropped or recorded, by choice).
    Granted,
    // Asked for, the answer is not there yet (the operator is authenticating).
    Pending,
    // This process may not write the port (not root, no CAP_SYS_RAWIO).
    Denied,
    // The operator refused the authentication.
    Refused,
    // The helper that held the access went away.
    Lost,
    // Another helper holds the port (another command is sending).
    Busy,
    // R550_PORT_IO names no way to the port: nothing is reached, on purpose.
    Misconfigured,
};

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
    // False when the byte did not reach the port.
    virtual bool writePort(std::uint16_t port, std::uint8_t value) = 0;
    // Asks for access the first time it is called and never blocks; later calls tell the answer.
    virtual PortAccess requestAccess() { return PortAccess::Granted; }
};

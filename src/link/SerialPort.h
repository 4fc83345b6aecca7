#pragma once

#include <cstdint>

// Why an open failed, told apart once so the operator can be told the reason.
enum class SerialError {
    None,
    NoSuchPort,   // no device behind the port number
    InUse,        // another program, or another link of this one, holds the port
    NoPermission, // the user may not open the device (not in the dialout group)
    NotSerial,    // the device is not a terminal, or refuses the line settings
    DeviceLost,   // the device went away while open (unplugged, pseudo-terminal closed)
    Other,
};

// One serial port, opened by number, at the reader's line settings (9600 8N1, raw, no flow
// control, DTR and RTS on). Reads never wait.
class SerialPort {
public:
    virtual ~SerialPort() = default;
    // Opens port n (COMn). False when it cannot be opened; the port is then closed.
    virtual bool open(int portNumber) = 0;
    // Writes n bytes within 2000 ms + 50 ms per byte; returns the count written. 0 when closed.
    virtual int write(const std::uint8_t* bytes, int n) = 0;
    // Returns at once with 0..n bytes that have arrived. 0 when closed (buffer untouched).
    virtual int read(std::uint8_t* buffer, int n) = 0;
    // Releases the port. True when it was open.
    virtual bool close() = 0;
    virtual bool isOpen() const = 0;
    // True once a read or write found the device gone; a read then returned 0 for that reason,
    // not because nothing has arrived yet. Cleared by open.
    virtual bool lost() const = 0;
    // The reason of the last failed open, or DeviceLost.
    virtual SerialError lastError() const = 0;
};

#pragma once

#include "link/Failure.h"
#include "link/PortName.h"

#include <cstdint>

// What a read found: bytes, nothing yet, or a device that has gone away (unplugged, or a
// pseudo-terminal whose other side closed). Bytes that arrived before the device went are
// still handed out as Data; the next read then tells Gone.
enum class ReadStatus { Data, Nothing, Gone };

struct ReadResult {
    ReadStatus status = ReadStatus::Nothing;
    int count = 0; // bytes put into the buffer; 0 unless status is Data

    bool gone() const { return status == ReadStatus::Gone; }
};

// What a write did: all bytes out, cut short by the time limit, or the device gone.
enum class WriteStatus { Complete, Stalled, Gone };

struct WriteResult {
    WriteStatus status = WriteStatus::Stalled;
    int count = 0; // bytes that went out

    bool complete() const { return status == WriteStatus::Complete; }
};

// One serial port, opened by its number or its device path, at the reader's line settings (9600
// 8N1, raw, no flow control, DTR and RTS on). Reads never wait.
class SerialPort {
public:
    virtual ~SerialPort() = default;
    // Opens the port (COMn through the port map, or a device path). False when it cannot be
    // opened; the port is then closed and lastFailure() tells why.
    virtual bool open(const PortName& port) = 0;
    // Writes n bytes within 2000 ms + 50 ms per byte. Stalled with no bytes when closed.
    virtual WriteResult write(const std::uint8_t* bytes, int n) = 0;
    // Returns at once with 0..n bytes that have arrived. Nothing when closed (buffer untouched).
    virtual ReadResult read(std::uint8_t* buffer, int n) = 0;
    // Releases the port. True when it was open.
    virtual bool close() = 0;
    virtual bool isOpen() const = 0;
    // Why the last open failed (NoSuchPort, InUse, NoPermission, NotSerial, OpenFailed), or
    // Unplugged once a read or write found the device gone; kind None otherwise. The port,
    // device, places looked at, owning group and errno come with it.
    virtual Failure lastFailure() const = 0;
};

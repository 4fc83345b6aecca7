#pragma once

#include "cli/PortName.h"
#include "link/SerialLink.h"
#include "link/SerialPort.h"

// The serial port of one reader as r550ctl's loop uses it: the port given on the command line (a
// number through the port map, or a device path) behind the SerialPort that a TransferEngine
// opens. The engine's port number is not used, so that a device path serves as well as a number.
// It also tells the loop what its poll needs: the descriptor, how many bytes wait, and how many
// times the port has been opened (a descriptor number may come back for a new open).
class ReaderPort final : public SerialPort {
public:
    ReaderPort(const PortMap& map, PortName portName);

    bool open(int portNumber) override;
    WriteResult write(const std::uint8_t* bytes, int n) override { return link_.write(bytes, n); }
    ReadResult read(std::uint8_t* buffer, int n) override { return link_.read(buffer, n); }
    bool close() override { return link_.close(); }
    bool isOpen() const override { return link_.isOpen(); }
    Failure lastFailure() const override;

    const PortName& portName() const { return portName_; }
    int descriptor() const { return link_.descriptor(); }
    // Bytes received and not yet read; 0 when closed, -1 when the device can no longer tell (a
    // hung-up line).
    int waiting() const;
    // Successful opens so far.
    unsigned opens() const { return opens_; }

private:
    PortName portName_;
    SerialLink link_;
    unsigned opens_ = 0;
};

#pragma once

#include "link/PortName.h"
#include "link/SerialLink.h"
#include "link/SerialPort.h"

#include <cstdint>
#include <vector>

class Clock;

// The serial port of one reader as r550ctl's loop uses it, behind the SerialPort that a
// TransferEngine opens: the port given on the command line, a number through the port map or a
// device path.
//
// Writes never wait: what the line cannot take at once is kept and sent as the loop finds room
// (sendPending), so that a stalled line holds up neither another reader nor Ctrl+C. The port
// also tells the loop what its poll needs: the descriptor, how many bytes wait, how many times it
// has been opened (a descriptor number may come back for a new open), and when the line was last
// busy.
class ReaderPort final : public SerialPort {
public:
    ReaderPort(const PortMap& map, Clock& clock);

    bool open(const PortName& port) override;
    WriteResult write(const std::uint8_t* bytes, int n) override;
    ReadResult read(std::uint8_t* buffer, int n) override;
    bool close() override;
    bool isOpen() const override { return link_.isOpen(); }
    Failure lastFailure() const override { return link_.lastFailure(); }

    // See SerialLink::setForceOpen.
    void setForceOpen(bool force) { link_.setForceOpen(force); }
    int descriptor() const { return link_.descriptor(); }
    // Bytes received and not yet read; 0 when closed, -1 when the device can no longer tell (a
    // hung-up line).
    int waiting() const;
    // Successful opens so far.
    unsigned opens() const { return opens_; }

    // Sends what the line could not take before, as far as it takes it now.
    void sendPending();
    // The last close dropped bytes that the line never took.
    bool leftUnsent() const { return leftUnsent_; }
    // When a byte last went out or came in.
    std::int64_t lastActivityMs() const { return lastActivityMs_; }
    // Reads and drops whatever has arrived.
    void discardArrived();

private:
    SerialLink link_;
    Clock& clock_;
    std::vector<std::uint8_t> pending_;
    unsigned opens_ = 0;
    bool leftUnsent_ = false;
    std::int64_t lastActivityMs_ = 0;
};

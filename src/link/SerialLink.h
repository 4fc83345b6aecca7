#pragma once

#include "base/UniqueFd.h"
#include "link/PortMap.h"
#include "link/PortName.h"
#include "link/SerialPort.h"

#include <cstdint>

class Clock;

// The serial port on Linux: the device that the port map gives for COMn, opened exclusively
// (an advisory lock that holds for root and inside this program too, plus the terminal's own
// exclusive mode) and only when no other program has it open, lock or no lock, set raw to 9600 8N1
// without flow control, DTR and RTS on. Reads never wait; writes wait for the line at most 2000 ms
// + 50 ms per byte, on the clock the link is given (the program's real one, a test's fake one).
class SerialLink final : public SerialPort {
public:
    static constexpr int kWriteBaseMs = 2000;
    static constexpr int kWritePerByteMs = 50;
    // How often a write looks again for room in a full output queue.
    static constexpr int kRoomCheckMs = 5;

    explicit SerialLink(Clock& clock);
    SerialLink(PortMap map, Clock& clock);
    ~SerialLink() override;
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    // An open link is closed first, so a second open never leaks the first port.
    bool open(const PortName& port) override;
    bool open(int portNumber) { return open(PortName::number(portNumber)); }
    WriteResult write(const std::uint8_t* bytes, int n) override;
    // One write that never waits: the bytes the line takes now (Stalled with fewer than n when
    // its queue is full), or Gone.
    WriteResult writeNow(const std::uint8_t* bytes, int n);
    ReadResult read(std::uint8_t* buffer, int n) override;
    bool close() override;
    bool isOpen() const override { return fd_.valid(); }
    // Opens a port that another program holds all the same (its lock, its exclusive mode and
    // its open descriptors are passed over), for an operator who knows what holds it.
    void setForceOpen(bool force) { forceOpen_ = force; }
    Failure lastFailure() const override { return failure_; }
    // The open port's descriptor, for a caller that waits in poll() for bytes or a hang-up
    // instead of reading on a timer; -1 when closed. The link keeps owning it.
    int descriptor() const { return fd_.get(); }

    // The one place an OS error of an open becomes the reason the operator is told.
    static FailureKind failureFromErrno(int error);
    // Who may use a device that this user may not open, for the advice: its group (by name, or
    // number when it has none) when that group may read and write it, otherwise its owner and
    // mode. Nothing is filled in when the path cannot be examined.
    static void notePermissions(const std::string& path, Failure& failure);

private:
    bool openAs(const std::filesystem::path& device, int portNumber);
    bool fail(int error);
    // Refuses a port that another program has open, naming it where it can be seen.
    bool failHeld(const std::string& program, int pid);
    // Before the open: another process that has the device open. After it: the terminal's
    // exclusive mode, set by a holder this user could not see. False (failed) when held.
    bool checkHolders(const std::filesystem::path& device, bool& sawAll);
    bool checkExclusive(bool sawAll);
    bool setLineSettings();
    void markLost(int error);
    // Closes the descriptor, giving up the terminal's exclusive mode first.
    void release();

    PortMap map_;
    Clock& clock_;
    UniqueFd fd_;
    bool exclusive_ = false; // this link put the terminal in exclusive mode
    bool forceOpen_ = false;
    int portNumber_ = 0;
    std::string device_;
    Failure failure_;
};

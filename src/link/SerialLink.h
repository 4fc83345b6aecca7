#pragma once

#include "link/PortMap.h"
#include "link/SerialPort.h"
#include "link/UniqueFd.h"

#include <cstdint>

// The serial port on Linux: the device that the port map gives for COMn, opened exclusively
// (an advisory lock that holds for root and inside this program too, plus the terminal's own
// exclusive mode), set raw to 9600 8N1 without flow control, DTR and RTS on. Reads never wait;
// writes wait for the line at most 2000 ms + 50 ms per byte.
class SerialLink final : public SerialPort {
public:
    static constexpr int kWriteBaseMs = 2000;
    static constexpr int kWritePerByteMs = 50;

    SerialLink();
    explicit SerialLink(PortMap map);
    ~SerialLink() override;
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    // An open link is closed first, so a second open never leaks the first port.
    bool open(int portNumber) override;
    // Opens a device by its path instead of a port number, the same way.
    bool openDevice(const std::filesystem::path& device);
    int write(const std::uint8_t* bytes, int n) override;
    int read(std::uint8_t* buffer, int n) override;
    bool close() override;
    bool isOpen() const override { return fd_.valid(); }
    // The open port's descriptor, for a caller that waits in poll() for bytes or a hang-up
    // instead of reading on a timer; -1 when closed. The link keeps owning it.
    int descriptor() const { return fd_.get(); }
    bool lost() const override { return lost_; }
    SerialError lastError() const override { return lastError_; }
    // The errno behind lastError(), for diagnosis; 0 when there was none.
    int lastErrno() const { return lastErrno_; }

    // The one place an OS error becomes a SerialError.
    static SerialError errorFromErrno(int error);

private:
    bool fail(int error);
    bool setLineSettings();
    void markLost(int error);

    PortMap map_;
    UniqueFd fd_;
    bool lost_ = false;
    SerialError lastError_ = SerialError::None;
    int lastErrno_ = 0;
};

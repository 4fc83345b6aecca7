#pragma once

#include "link/SerialPort.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

// An in-memory serial port with a scripted reader behind it. A test chooses which port numbers
// open, queues the bytes the reader sends (at once, after the n-th write, or from onWrite so a
// scripted reader answers each frame), and can make the device vanish or writes fall short.
// Every open, close, write and read is recorded. Input nobody read is dropped when the port
// closes, as on a real port.
class FakeSerialPort : public SerialPort {
public:
    using Bytes = std::vector<std::uint8_t>;

    struct Write {
        int port;
        Bytes bytes; // what went out (a short write keeps only the accepted part)
        int asked;   // how many bytes the caller meant to write
    };
    struct Read {
        int port;
        int asked;
        int got;
    };

    FakeSerialPort() = default;
    explicit FakeSerialPort(std::set<int> openable) : openable_(std::move(openable)) {}

    // --- what the test sets up ---
    void allowPort(int portNumber) { openable_.insert(portNumber); }
    // The port exists but someone else holds it: open fails with InUse.
    void holdPort(int portNumber) { held_.insert(portNumber); }
    // The port exists but this user may not open it: open fails with NoPermission.
    void denyPort(int portNumber) { denied_.insert(portNumber); }
    // Bytes the reader has sent; readable at once.
    void queueRead(const Bytes& bytes);
    // Bytes that arrive once the n-th write (counting from 1, over the fake's life) is done.
    void queueReadAfterWrite(int nthWrite, const Bytes& bytes);
    // The device goes away: reads and writes tell Gone until the next open.
    void loseDevice();
    // Writes accept only this many bytes in total from now on; the rest is dropped.
    void failWritesAfterBytes(int bytes) { writeBudget_ = bytes; }
    // Called after every write with what went out; may queue the reader's answer.
    std::function<void(FakeSerialPort&, const Bytes&)> onWrite;
    // Sets onWrite to answer as a reader on RS232 does: a write block with an acknowledgement, a
    // read block with a block reply of the asked length (data(frame), cut or padded with 0x00),
    // any other command with a counted reply of data(frame). Without data, replies carry zeros.
    void answerLikeReader(std::function<Bytes(const Bytes& frame)> data = {});

    // --- what happened ---
    std::vector<int> openAttempts;
    std::vector<int> opens; // port numbers that opened
    int closes = 0;
    std::vector<Write> writes;
    std::vector<Read> reads;
    int openPort() const { return openPort_; }
    std::size_t pending() const { return incoming_.size(); }

    // --- SerialPort ---
    bool open(const PortName& port) override;
    WriteResult write(const std::uint8_t* bytes, int n) override;
    ReadResult read(std::uint8_t* buffer, int n) override;
    bool close() override;
    bool isOpen() const override { return openPort_ != 0; }
    Failure lastFailure() const override { return failure_; }
    // The device path the fake gives port n: "/dev/fakeN".
    static std::string deviceOf(int portNumber);

    // --- replies as a reader on RS232 gives them, for onWrite scripts ---
    // ESC and the command code of the frame.
    static Bytes echo(const Bytes& frame);
    // Echo, two unexamined bytes, 0x01 0xAA.
    static Bytes acknowledgement(const Bytes& frame);
    // Echo, two unexamined bytes, the length L and the L data bytes.
    static Bytes blockReply(const Bytes& frame, const Bytes& data);
    // Echo, the length N and the N data bytes.
    static Bytes countedReply(const Bytes& frame, const Bytes& data);

private:
    struct Delayed {
        int afterWrite;
        Bytes bytes;
    };

    std::set<int> openable_;
    std::set<int> held_;
    std::set<int> denied_;
    std::deque<std::uint8_t> incoming_;
    std::vector<Delayed> delayed_;
    int openPort_ = 0;
    int writeCount_ = 0;
    int writeBudget_ = -1; // -1: no limit
    bool lost_ = false;
    Failure failure_;
};

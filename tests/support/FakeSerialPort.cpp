#include "support/FakeSerialPort.h"

#include "link/CommandFrame.h"

#include <algorithm>

void FakeSerialPort::queueRead(const Bytes& bytes) {
    incoming_.insert(incoming_.end(), bytes.begin(), bytes.end());
}

void FakeSerialPort::queueReadAfterWrite(int nthWrite, const Bytes& bytes) {
    if (nthWrite <= writeCount_) {
        queueRead(bytes);
        return;
    }
    delayed_.push_back({nthWrite, bytes});
}

void FakeSerialPort::loseDevice() {
    lost_ = true;
    failure_ = Failure{};
    failure_.kind = FailureKind::Unplugged;
    failure_.port = openPort_;
    failure_.device = deviceOf(openPort_);
}

std::string FakeSerialPort::deviceOf(int portNumber) {
    return "/dev/fake" + std::to_string(portNumber);
}

bool FakeSerialPort::open(const PortName& port) {
    const int portNumber = port.portNumber();
    openAttempts.push_back(portNumber);
    failure_ = Failure{};
    failure_.port = portNumber;
    failure_.device = deviceOf(portNumber);
    if (isOpen() || held_.count(portNumber) != 0) {
        failure_.kind = FailureKind::InUse;
        return false;
    }
    if (denied_.count(portNumber) != 0) {
        failure_.kind = FailureKind::NoPermission;
        failure_.group = "dialout";
        return false;
    }
    if (openable_.count(portNumber) == 0) {
        failure_.kind = FailureKind::NoSuchPort;
        failure_.device.clear();
        failure_.tried = {deviceOf(portNumber)};
        return false;
    }
    failure_ = Failure{};
    openPort_ = portNumber;
    opens.push_back(portNumber);
    lost_ = false;
    return true;
}

WriteResult FakeSerialPort::write(const std::uint8_t* bytes, int n) {
    if (!isOpen() || n <= 0) {
        return {WriteStatus::Stalled, 0};
    }
    if (lost_) {
        return {WriteStatus::Gone, 0};
    }
    int accepted = n;
    if (writeBudget_ >= 0) {
        accepted = std::min(n, writeBudget_);
        writeBudget_ -= accepted;
    }
    Bytes sent(bytes, bytes + accepted);
    writes.push_back({openPort_, sent, n});
    ++writeCount_;
    for (auto it = delayed_.begin(); it != delayed_.end();) {
        if (it->afterWrite <= writeCount_) {
            queueRead(it->bytes);
            it = delayed_.erase(it);
        } else {
            ++it;
        }
    }
    if (onWrite) {
        onWrite(*this, sent);
    }
    return {accepted == n ? WriteStatus::Complete : WriteStatus::Stalled, accepted};
}

ReadResult FakeSerialPort::read(std::uint8_t* buffer, int n) {
    if (!isOpen()) {
        return {};
    }
    int got = 0;
    if (!lost_) {
        while (got < n && !incoming_.empty()) {
            buffer[got++] = incoming_.front();
            incoming_.pop_front();
        }
    }
    reads.push_back({openPort_, n, got});
    if (got > 0) {
        return {ReadStatus::Data, got};
    }
    return {lost_ ? ReadStatus::Gone : ReadStatus::Nothing, 0};
}

bool FakeSerialPort::close() {
    if (!isOpen()) {
        return false;
    }
    // Like a real port, input that nobody read is gone with it.
    incoming_.clear();
    openPort_ = 0;
    ++closes;
    return true;
}

FakeSerialPort::Bytes FakeSerialPort::echo(const Bytes& frame) {
    Bytes out;
    out.push_back(frame.empty() ? std::uint8_t{0} : frame[0]);
    out.push_back(frame.size() < 2 ? std::uint8_t{0} : frame[1]);
    return out;
}

FakeSerialPort::Bytes FakeSerialPort::acknowledgement(const Bytes& frame) {
    Bytes out = echo(frame);
    out.insert(out.end(), {0x00, 0x00, 0x01, 0xAA});
    return out;
}

FakeSerialPort::Bytes FakeSerialPort::blockReply(const Bytes& frame, const Bytes& data) {
    Bytes out = echo(frame);
    out.insert(out.end(), {0x00, 0x00, static_cast<std::uint8_t>(data.size())});
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

FakeSerialPort::Bytes FakeSerialPort::countedReply(const Bytes& frame, const Bytes& data) {
    Bytes out = echo(frame);
    out.push_back(static_cast<std::uint8_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

void FakeSerialPort::answerLikeReader(std::function<Bytes(const Bytes& frame)> data) {
    onWrite = [data = std::move(data)](FakeSerialPort& port, const Bytes& frame) {
        if (frame.size() < 2) {
            return;
        }
        Bytes payload = data ? data(frame) : Bytes{};
        switch (classifyReply(frame[1])) {
        case ReplyKind::Acknowledgement:
            port.queueRead(acknowledgement(frame));
            break;
        case ReplyKind::Block:
            payload.resize(frame.size() > 4 ? frame[4] : 0, 0x00);
            port.queueRead(blockReply(frame, payload));
            break;
        case ReplyKind::Counted:
            payload.resize(std::min<std::size_t>(payload.size(), 255));
            port.queueRead(countedReply(frame, payload));
            break;
        }
    };
}

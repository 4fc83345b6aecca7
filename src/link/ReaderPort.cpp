#include "link/ReaderPort.h"

#include "link/Clock.h"

#include <array>
#include <sys/ioctl.h>
#include <termios.h>

ReaderPort::ReaderPort(const PortMap& map, Clock& clock) : link_(map, clock), clock_(clock) {}

bool ReaderPort::open(const PortName& port) {
    pending_.clear();
    leftUnsent_ = false;
    const bool opened = link_.open(port);
    if (opened) {
        ++opens_;
        lastActivityMs_ = clock_.nowMilliseconds();
    }
    return opened;
}

WriteResult ReaderPort::write(const std::uint8_t* bytes, int n) {
    if (!link_.isOpen() || n <= 0) {
        return {WriteStatus::Stalled, 0};
    }
    pending_.insert(pending_.end(), bytes, bytes + n);
    sendPending();
    // The engine goes on to wait for the echo; bytes still queued count as sent until the
    // reader's own limit says otherwise.
    return link_.isOpen() ? WriteResult{WriteStatus::Complete, n}
                          : WriteResult{WriteStatus::Gone, 0};
}

void ReaderPort::sendPending() {
    if (pending_.empty() || !link_.isOpen()) {
        return;
    }
    const WriteResult put = link_.writeNow(pending_.data(), static_cast<int>(pending_.size()));
    if (put.status == WriteStatus::Gone) {
        pending_.clear();
        return;
    }
    if (put.count > 0) {
        pending_.erase(pending_.begin(), pending_.begin() + put.count);
        lastActivityMs_ = clock_.nowMilliseconds();
    }
}

ReadResult ReaderPort::read(std::uint8_t* buffer, int n) {
    const ReadResult got = link_.read(buffer, n);
    if (got.status == ReadStatus::Data) {
        lastActivityMs_ = clock_.nowMilliseconds();
    }
    return got;
}

bool ReaderPort::close() {
    leftUnsent_ = !pending_.empty();
    pending_.clear();
    if (link_.isOpen()) {
        // Whatever the driver still holds would only reach the reader late; and a close would
        // wait for a stopped line to drain it.
        ::tcflush(link_.descriptor(), TCOFLUSH);
    }
    return link_.close();
}

void ReaderPort::discardArrived() {
    std::array<std::uint8_t, 256> buffer{};
    while (read(buffer.data(), static_cast<int>(buffer.size())).status == ReadStatus::Data) {
    }
}

int ReaderPort::waiting() const {
    if (!link_.isOpen()) {
        return 0;
    }
    int count = 0;
    if (::ioctl(link_.descriptor(), FIONREAD, &count) != 0) {
        return -1;
    }
    return count;
}

#include "link/KeyboardPortLink.h"

#include "link/Clock.h"
#include "link/CommandFrame.h"
#include "link/FrameBatch.h"
#include "link/PortIo.h"

KeyboardPortLink::KeyboardPortLink(PortIo& io, Clock& clock) : io_(io), clock_(clock) {}

void KeyboardPortLink::checkDriver() {
    if (!io_.initialize()) {
        io_.installDriver();
        io_.removeDriver();
    }
    io_.shutdown();
}

void KeyboardPortLink::begin() {
    io_.initialize();
}

void KeyboardPortLink::end() {
    io_.shutdown();
}

PortAccess KeyboardPortLink::requestAccess() {
    return io_.requestAccess();
}

PortAccess KeyboardPortLink::awaitAccess() {
    PortAccess access = io_.requestAccess();
    while (access == PortAccess::Pending) {
        clock_.sleepMilliseconds(kAccessPollMs);
        access = io_.requestAccess();
    }
    return access;
}

FailureKind KeyboardPortLink::accessFailure(PortAccess access) {
    switch (access) {
    case PortAccess::Granted:
    case PortAccess::Pending:
        return FailureKind::None;
    case PortAccess::Denied:
        return FailureKind::NoKeyboardAccess;
    case PortAccess::Refused:
        return FailureKind::KeyboardAccessRefused;
    case PortAccess::Busy:
        return FailureKind::KeyboardInUse;
    case PortAccess::Misconfigured:
        return FailureKind::PortIoSettingUnknown;
    case PortAccess::Lost:
        break;
    }
    return FailureKind::KeyboardHelperLost;
}

bool KeyboardPortLink::writeByte(std::uint8_t value, bool pause) {
    const bool written = io_.writePort(kPort, value);
    if (pause) {
        clock_.sleepMilliseconds(kPauseMs);
    }
    return written;
}

bool KeyboardPortLink::writeAllPaused(const std::vector<std::uint8_t>& bytes) {
    for (const std::uint8_t byte : bytes) {
        if (!writeByte(byte, true)) {
            return false;
        }
    }
    return true;
}

bool KeyboardPortLink::sendProbe() {
    const std::vector<std::uint8_t> bytes = KeyboardSequence::probe();
    begin();
    bool sent = true;
    for (std::size_t i = 0; sent && i < bytes.size(); ++i) {
        sent = writeByte(bytes[i], i + 1 < bytes.size());
    }
    end();
    return sent;
}

bool KeyboardPortLink::sendFrame(const FrameBatch& batch) {
    begin();
    const bool sent = writeAllPaused(
        KeyboardSequence::singleFrame(batch.frames[0].data(), batch.usableLength(0)));
    end();
    return sent;
}

bool KeyboardPortLink::sendBatch(const FrameBatch& batch, const std::function<void()>& afterEntry) {
    begin();
    bool sent = writeByte(Command::kEscape, true) && writeByte(Command::kWriteBlock, true);
    for (int i = 0; sent && i < batch.usableCount(); ++i) {
        sent = writeAllPaused(KeyboardSequence::batchEntry(
            batch.frames[static_cast<std::size_t>(i)].data(), batch.usableLength(i)));
        if (sent && afterEntry) {
            afterEntry();
        }
    }
    sent = sent && writeByte(Command::kEscape, true) && writeByte(Command::kBatchClose, false);
    end();
    return sent;
}

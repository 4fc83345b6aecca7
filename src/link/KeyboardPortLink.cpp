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
    initialised_ = io_.initialize();
}

void KeyboardPortLink::end() {
    io_.shutdown();
    initialised_ = false;
}

void KeyboardPortLink::writeByte(std::uint8_t value, bool pause) {
    io_.writePort(kPort, value);
    if (pause) {
        clock_.sleepMilliseconds(kPauseMs);
    }
}

void KeyboardPortLink::writeEncoded(std::uint8_t value) {
    std::vector<std::uint8_t> bytes;
    encode(value, bytes);
    writeAllPaused(bytes);
}

void KeyboardPortLink::writeAllPaused(const std::vector<std::uint8_t>& bytes) {
    for (const std::uint8_t byte : bytes) {
        writeByte(byte, true);
    }
}

void KeyboardPortLink::sendProbe() {
    const std::vector<std::uint8_t> bytes = KeyboardSequence::probe();
    begin();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        writeByte(bytes[i], i + 1 < bytes.size());
    }
    end();
}

void KeyboardPortLink::sendFrame(const FrameBatch& batch) {
    begin();
    writeAllPaused(KeyboardSequence::singleFrame(batch.frames[0].data(), batch.usableLength(0)));
    end();
}

void KeyboardPortLink::sendBatch(const FrameBatch& batch, const std::function<void()>& afterEntry) {
    begin();
    writeByte(Command::kEscape, true);
    writeByte(Command::kWriteBlock, true);
    for (int i = 0; i < batch.usableCount(); ++i) {
        writeAllPaused(KeyboardSequence::batchEntry(
            batch.frames[static_cast<std::size_t>(i)].data(), batch.usableLength(i)));
        if (afterEntry) {
            afterEntry();
        }
    }
    writeByte(Command::kEscape, true);
    writeByte(Command::kBatchClose, false);
    end();
}

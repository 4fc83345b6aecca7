#include "link/CommandFrame.h"

#include "link/FrameBatch.h"

#include <algorithm>

ReplyKind classifyReply(std::uint8_t echoedCode) {
    switch (echoedCode) {
    case Command::kReadBlock:
        return ReplyKind::Block;
    case Command::kWriteBlock:
        return ReplyKind::Acknowledgement;
    default:
        return ReplyKind::Counted;
    }
}

void CommandFrame::append(std::uint8_t byte) {
    if (length_ < kMaxLength) {
        bytes_[static_cast<std::size_t>(length_++)] = byte;
    }
}

CommandFrame CommandFrame::serialProbe() {
    CommandFrame frame;
    frame.append(Command::kEscape);
    frame.append(Command::kSerialProbe);
    return frame;
}

CommandFrame CommandFrame::firmwareVersion() {
    CommandFrame frame;
    frame.append(Command::kEscape);
    frame.append(Command::kFirmwareVersion);
    return frame;
}

CommandFrame CommandFrame::factoryReset() {
    CommandFrame frame;
    frame.append(Command::kEscape);
    frame.append(Command::kFactoryReset);
    frame.append(0x01);
    frame.append(0xFF);
    return frame;
}

CommandFrame CommandFrame::keyboardProbe() {
    CommandFrame frame;
    frame.append(Command::kEscape);
    frame.append(Command::kKeyboardProbe);
    return frame;
}

CommandFrame CommandFrame::readBlock(std::uint8_t group, std::uint8_t subCode,
                                     std::uint8_t length) {
    CommandFrame frame;
    frame.append(Command::kEscape);
    frame.append(Command::kReadBlock);
    frame.append(group);
    frame.append(subCode);
    frame.append(length);
    return frame;
}

CommandFrame CommandFrame::writeBlock(std::uint8_t group, std::uint8_t subCode,
                                      const std::uint8_t* payload, int length) {
    CommandFrame frame;
    const int n = std::clamp(length, 0, kMaxLength - 5);
    frame.append(Command::kEscape);
    frame.append(Command::kWriteBlock);
    frame.append(group);
    frame.append(subCode);
    frame.append(static_cast<std::uint8_t>(n));
    for (int i = 0; i < n; ++i) {
        frame.append(payload[i]);
    }
    return frame;
}

void CommandFrame::putInto(FrameBatch& batch, int index) const {
    if (index < 0 || index >= FrameBatch::kMaxFrames) {
        return;
    }
    auto& slot = batch.frames[static_cast<std::size_t>(index)];
    slot.fill(0);
    std::copy_n(bytes_.begin(), length_, slot.begin());
    batch.lengths[static_cast<std::size_t>(index)] = length_;
}

std::uint8_t checksum(const std::uint8_t* bytes, int n) {
    std::uint8_t sum = 0;
    for (int i = 0; i < n; ++i) {
        sum = static_cast<std::uint8_t>(sum ^ bytes[i]);
    }
    return sum;
}

void encode(std::uint8_t value, std::vector<std::uint8_t>& out) {
    if (value > 0xE0) {
        out.push_back(0xE0);
        out.push_back(static_cast<std::uint8_t>(value - 0xE0));
    } else {
        out.push_back(value);
    }
}

namespace KeyboardSequence {

std::vector<std::uint8_t> probe() {
    const CommandFrame frame = CommandFrame::keyboardProbe();
    return singleFrame(frame.bytes(), frame.length());
}

std::vector<std::uint8_t> singleFrame(const std::uint8_t* frame, int length) {
    std::vector<std::uint8_t> out{Command::kEscape};
    // Byte 0 always goes out as the escape constant, and the checksum covers it as sent.
    std::uint8_t sum = Command::kEscape;
    for (int i = 1; i < length; ++i) {
        encode(frame[i], out);
        sum = static_cast<std::uint8_t>(sum ^ frame[i]);
    }
    encode(sum, out);
    return out;
}

std::vector<std::uint8_t> batchEntry(const std::uint8_t* entry, int length) {
    std::vector<std::uint8_t> out;
    for (int i = 0; i < length; ++i) {
        encode(entry[i], out);
    }
    encode(checksum(entry, length), out);
    return out;
}

} // namespace KeyboardSequence

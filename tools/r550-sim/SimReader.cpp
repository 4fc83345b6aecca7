#include "SimReader.h"

#include <utility>

SimReader::SimReader(SimMemory memory, std::string version, SimFaults faults)
    : memory_(std::move(memory)), version_(std::move(version)), faults_(faults) {
    if (version_.size() > kMaxVersionLength) {
        version_.resize(kMaxVersionLength);
    }
}

SimReader::Outcome SimReader::feed(std::span<const std::uint8_t> bytes) {
    Outcome outcome;
    for (const std::uint8_t byte : bytes) {
        // Outside a frame only an escape byte means anything; the rest is line noise.
        if (pending_.empty() && byte != kEscape) {
            continue;
        }
        pending_.push_back(byte);
        const std::size_t length = expectedLength();
        if (length != 0 && pending_.size() == length) {
            std::vector<std::uint8_t> frame;
            frame.swap(pending_);
            handleFrame(frame, outcome);
            outcome.frames.push_back(std::move(frame));
        }
    }
    return outcome;
}

std::vector<std::uint8_t> SimReader::dropPartialFrame() {
    std::vector<std::uint8_t> dropped;
    dropped.swap(pending_);
    return dropped;
}

std::string SimReader::logLine(std::span<const std::uint8_t> frame) {
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    std::string line;
    for (const std::uint8_t byte : frame) {
        if (!line.empty()) {
            line.push_back(' ');
        }
        line.push_back(kHexDigits[byte >> 4]);
        line.push_back(kHexDigits[byte & 0x0F]);
    }
    line.push_back('\n');
    return line;
}

std::size_t SimReader::expectedLength() const {
    if (pending_.size() < 2) {
        return 0;
    }
    switch (pending_[1]) {
    case kReadBlock:
        return 5;
    case kWriteBlock:
        return pending_.size() < 5 ? 0 : 5 + std::size_t{pending_[4]};
    case kFactoryReset:
        return 4;
    default:
        return 2;
    }
}

void SimReader::handleFrame(const std::vector<std::uint8_t>& frame, Outcome& outcome) {
    const std::uint8_t command = frame[1];
    std::vector<std::uint8_t> reply{kEscape, command};
    switch (command) {
    case kSerialProbe:
        // The echo alone answers the probe: the tool takes any byte as a sign of life.
        if (faults_.noProbeAnswer) {
            return;
        }
        break;
    case kFirmwareVersion:
        reply.push_back(static_cast<std::uint8_t>(version_.size()));
        reply.insert(reply.end(), version_.begin(), version_.end());
        break;
    case kReadBlock: {
        const std::uint8_t group = frame[2];
        const std::uint8_t subCode = frame[3];
        // The wrong length wraps like the length byte does: a request of 0xFF gets 0x00.
        const int length = faults_.wrongLength ? (frame[4] + 1) & 0xFF : frame[4];
        reply.push_back(group);
        reply.push_back(subCode);
        reply.push_back(static_cast<std::uint8_t>(length));
        for (int i = 0; i < length; ++i) {
            reply.push_back(memory_.read(group, subCode + i));
        }
        break;
    }
    case kWriteBlock: {
        const std::uint8_t group = frame[2];
        const std::uint8_t subCode = frame[3];
        for (std::size_t i = 5; i < frame.size(); ++i) {
            memory_.write(group, subCode + static_cast<int>(i - 5), frame[i]);
        }
        outcome.memoryWritten = true;
        reply.push_back(group);
        reply.push_back(subCode);
        reply.push_back(0x01);
        reply.push_back(faults_.wrongAck ? 0xAB : 0xAA);
        break;
    }
    case kFactoryReset:
        memory_ = SimMemory::factory();
        outcome.memoryWritten = true;
        reply.push_back(0x01);
        reply.push_back(0x00);
        break;
    default:
        // A command this reader does not know: an empty counted reply.
        reply.push_back(0x00);
        break;
    }
    sendReply(reply, outcome);
}

void SimReader::sendReply(const std::vector<std::uint8_t>& reply, Outcome& outcome) const {
    if (faults_.silent) {
        return;
    }
    if (faults_.stallAfterEcho) {
        outcome.reply.push_back(reply[0]);
        return;
    }
    outcome.reply.insert(outcome.reply.end(), reply.begin(), reply.end());
}

#pragma once

#include <array>
#include <cstdint>

// The outcome of a transaction as its batch records it.
enum class TransferResult : std::int32_t {
    Unknown = 0, // nothing is known yet
    Success = 1,
    Failure = -1, // failed or cancelled
};

// The record of one transaction: the frames to send, the replies received, and the outcome.
// Slot i of `frames` holds frame i from byte 0; only its first lengths[i] bytes are sent.
struct FrameBatch {
    static constexpr int kMaxFrames = 25;
    static constexpr int kSlotSize = 255;
    static constexpr int kReplyLengthSlots = 5;
    // Reply slot 20 doubles as the drain buffer of the serial exchange.
    static constexpr int kDrainSlot = 20;

    using Slot = std::array<std::uint8_t, kSlotSize>;

    std::array<Slot, kMaxFrames> frames{};
    std::array<Slot, kMaxFrames> replies{};
    std::int32_t count = 0;
    std::int32_t current = 0;
    TransferResult result = TransferResult::Unknown;
    std::array<std::int32_t, kMaxFrames> lengths{};
    std::array<std::int32_t, kReplyLengthSlots> replyLengths{};

    // count and lengths as a sender may use them: clamped to the arrays, so that no batch,
    // however it was filled, makes a sender read outside them.
    int usableCount() const { return clamp(count, 0, kMaxFrames); }
    int usableLength(int i) const {
        return i < 0 || i >= kMaxFrames ? 0
                                        : clamp(lengths[static_cast<std::size_t>(i)], 0, kSlotSize);
    }

private:
    static int clamp(int value, int low, int high) {
        return value < low ? low : (value > high ? high : value);
    }
};

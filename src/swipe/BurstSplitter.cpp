#include "swipe/BurstSplitter.h"

#include <algorithm>
#include <utility>

void BurstSplitter::add(std::span<const std::uint8_t> bytes, TimePoint now) {
    if (bytes.empty()) {
        return;
    }
    // The pending burst ended with the quiet before these bytes, however late they are handed in.
    if (!pending_.empty() && now - lastByte_ >= quiet_) {
        full_.push_back(std::exchange(pending_, {}));
    }
    for (const std::uint8_t byte : bytes) {
        pending_.push_back(byte);
        if (pending_.size() == kMaxBurst) {
            full_.push_back(std::move(pending_));
            pending_.clear();
        }
    }
    lastByte_ = now;
}

std::optional<std::vector<std::uint8_t>> BurstSplitter::take(TimePoint now) {
    if (!full_.empty()) {
        std::vector<std::uint8_t> burst = std::move(full_.front());
        full_.erase(full_.begin());
        return burst;
    }
    if (pending_.empty() || now - lastByte_ < quiet_) {
        return std::nullopt;
    }
    return std::exchange(pending_, {});
}

std::optional<std::vector<std::uint8_t>> BurstSplitter::takeRest() {
    if (!full_.empty()) {
        return take(lastByte_);
    }
    if (pending_.empty()) {
        return std::nullopt;
    }
    return std::exchange(pending_, {});
}

std::optional<BurstSplitter::TimePoint> BurstSplitter::deadline() const {
    if (!full_.empty()) {
        return lastByte_;
    }
    if (pending_.empty()) {
        return std::nullopt;
    }
    return lastByte_ + quiet_;
}

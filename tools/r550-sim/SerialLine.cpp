#include "SerialLine.h"

#include <algorithm>

namespace {
constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;
}

SerialLine::SerialLine(int bitsPerSecond)
    : characterTime_(bitsPerSecond <= 0
                         ? Duration(0)
                         : Duration((kBitsPerByte * kNanosecondsPerSecond + bitsPerSecond / 2) /
                                    bitsPerSecond)) {}

void SerialLine::put(std::span<const std::uint8_t> bytes, TimePoint at) {
    for (const std::uint8_t byte : bytes) {
        free_ = std::max(free_, at) + characterTime_;
        bytes_.push_back({free_, byte});
    }
}

std::vector<std::uint8_t> SerialLine::take(TimePoint now) {
    std::vector<std::uint8_t> arrived;
    while (!bytes_.empty() && bytes_.front().arrival <= now) {
        arrived.push_back(bytes_.front().byte);
        bytes_.pop_front();
    }
    return arrived;
}

std::optional<SerialLine::TimePoint> SerialLine::nextArrival() const {
    if (bytes_.empty()) {
        return std::nullopt;
    }
    return bytes_.front().arrival;
}

#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Cuts what a reader sends into bursts: a burst ends once the line has been quiet for a few
// character times, or when it reaches kMaxBurst bytes (a line that never goes quiet still shows
// up, and cannot grow without bound). No I/O and no clock: the caller says what time it is.
class BurstSplitter {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Duration = std::chrono::steady_clock::duration;

    static constexpr std::size_t kMaxBurst = 4096;

    explicit BurstSplitter(Duration quiet) : quiet_(quiet) {}

    // Bytes that arrived at `now`. Bursts that reached kMaxBurst are complete at once.
    void add(std::span<const std::uint8_t> bytes, TimePoint now);
    // The next complete burst: a full one, or the pending one once the line has been quiet since
    // its last byte for the quiet time. Nothing otherwise.
    std::optional<std::vector<std::uint8_t>> take(TimePoint now);
    // The pending bytes, complete or not (when the monitor stops).
    std::optional<std::vector<std::uint8_t>> takeRest();
    // When the pending burst will be complete if nothing more arrives; nothing when no burst is
    // pending.
    std::optional<TimePoint> deadline() const;
    // True when no byte is waiting.
    bool empty() const { return full_.empty() && pending_.empty(); }

private:
    Duration quiet_;
    std::vector<std::vector<std::uint8_t>> full_;
    std::vector<std::uint8_t> pending_;
    TimePoint lastByte_{};
};

#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

// One direction of a serial line at a given speed. Bytes put in at some moment come out at the
// far end one after the other, each once its last bit has been sent: ten bits a byte (start bit,
// eight data bits, stop bit), so 1.04 ms a byte at 9600 bit/s. A line of speed 0 has no delay.
// No I/O and no clock of its own: the caller says what time it is.
class SerialLine {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Duration = std::chrono::nanoseconds;

    static constexpr int kBitsPerByte = 10;

    explicit SerialLine(int bitsPerSecond = 0);

    // The time one byte takes at this speed.
    Duration characterTime() const { return characterTime_; }

    // Hands bytes to the line at `at`: the first starts when the line is free, not before `at`.
    void put(std::span<const std::uint8_t> bytes, TimePoint at);
    // The bytes that have arrived by `now`, in order; they leave the line.
    std::vector<std::uint8_t> take(TimePoint now);
    // When the next byte arrives; nothing when the line is empty.
    std::optional<TimePoint> nextArrival() const;
    std::size_t size() const { return bytes_.size(); }

private:
    struct InFlight {
        TimePoint arrival;
        std::uint8_t byte;
    };

    Duration characterTime_;
    std::deque<InFlight> bytes_;
    TimePoint free_{}; // when the last byte put has been sent
};

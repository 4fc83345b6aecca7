#pragma once

#include <cstdint>

// Time as the link and the transfer engine see it. Injected so that tests run the protocol's
// waits (10 s, 5 s, 100 ms per keyboard byte) in no real time.
class Clock {
public:
    virtual ~Clock() = default;
    // Monotonic time in whole seconds; a change of the wall clock neither ends nor stretches a
    // wait.
    virtual std::int64_t nowSeconds() const = 0;
    // Monotonic time in milliseconds, for traces and pacing checks.
    virtual std::int64_t nowMilliseconds() const = 0;
    virtual void sleepMilliseconds(int ms) = 0;
};

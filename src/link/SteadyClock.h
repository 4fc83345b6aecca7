#pragma once

#include "link/Clock.h"

// The real clock: std::chrono::steady_clock and nanosleep.
class SteadyClock : public Clock {
public:
    std::int64_t nowSeconds() const override;
    std::int64_t nowMilliseconds() const override;
    void sleepMilliseconds(int ms) override;
};

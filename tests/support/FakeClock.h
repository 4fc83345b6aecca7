#pragma once

#include "link/Clock.h"

// A clock that only the test moves: sleeps advance it at once.
class FakeClock : public Clock {
public:
    std::int64_t nowSeconds() const override { return ms_ / 1000; }
    std::int64_t nowMilliseconds() const override { return ms_; }
    void sleepMilliseconds(int ms) override {
        if (ms > 0) {
            ms_ += ms;
            slept_ += ms;
        }
    }
    void advance(std::int64_t ms) { ms_ += ms; }
    std::int64_t slept() const { return slept_; }

private:
    std::int64_t ms_ = 1'000'000; // well away from 0, like a real monotonic clock
    std::int64_t slept_ = 0;
};

#include "link/SteadyClock.h"

#include <cerrno>
#include <chrono>
#include <ctime>

std::int64_t SteadyClock::nowSeconds() const {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int64_t SteadyClock::nowMilliseconds() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SteadyClock::sleepMilliseconds(int ms) {
    if (ms <= 0) {
        return;
    }
    timespec remaining{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

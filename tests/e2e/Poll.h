#pragma once

#include <chrono>
#include <thread>

// Asks `ready` again and again until it says yes or `limit` has passed; true when it said yes.
// Every wait of the end-to-end tests goes through here, so none of them can hang.
template <typename Ready>
bool pollUntil(std::chrono::milliseconds limit, Ready ready,
               std::chrono::milliseconds interval = std::chrono::milliseconds(50)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (ready()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(interval);
    }
}

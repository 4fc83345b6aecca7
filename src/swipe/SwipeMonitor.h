#pragma once

#include "swipe/BurstSplitter.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class InterruptSignals;
class SwipeListener;

// Hears what a reader sends on an open SwipeListener until Ctrl+C or until the device goes away,
// one burst at a time: it waits in poll() for bytes or a signal, never on a timer, and cuts the
// bytes into bursts once the line has been quiet for `quiet`.
class SwipeMonitor {
public:
    using Heard = std::function<void(const std::vector<std::uint8_t>& burst,
                                     std::chrono::system_clock::time_point began)>;
    enum class Ending {
        Interrupted, // a signal came
        Gone,        // the device went away (the listener's lastFailure() says how)
        Failed,      // the wait itself failed (error() says why)
    };

    SwipeMonitor(SwipeListener& listener, InterruptSignals& signals,
                 std::chrono::milliseconds quiet)
        : listener_(listener), signals_(signals), splitter_(quiet) {}

    // Hands each burst to `heard` as it completes; what arrived before the end is handed on too.
    Ending run(const Heard& heard);
    const std::string& error() const { return error_; }

private:
    // Reads what has arrived into the splitter. False when the device has gone.
    bool readArrived(const Heard& heard);
    void handComplete(const Heard& heard);
    void handRest(const Heard& heard);

    SwipeListener& listener_;
    InterruptSignals& signals_;
    BurstSplitter splitter_;
    std::chrono::system_clock::time_point burstStart_{};
    std::string error_;
};

#pragma once

#include "link/Failure.h"
#include "link/PortMap.h"
#include "link/SerialLink.h"
#include "link/SteadyClock.h"

#include <chrono>
#include <cstdint>
#include <vector>

class SettingsImage;

// A reader's serial port opened to hear its swipes: exclusively, as the device commands open it,
// but at the speed the reader sends card data with. A swipe is the bytes that arrive until the
// line has been quiet for kQuietTime; the caller times that, since only it knows how it waits.
// Nothing heard is kept here beyond the buffer the caller hands in.
class SwipeListener {
public:
    static constexpr std::chrono::milliseconds kQuietTime{100};

    SwipeListener() : link_(clock_) {}
    explicit SwipeListener(PortMap map) : link_(std::move(map), clock_) {}

    // Opens the port at this speed. False with the reason in lastFailure().
    bool open(const PortName& port, int bitsPerSecond);
    void close() { link_.close(); }
    bool isOpen() const { return link_.isOpen(); }
    // For a caller that waits for bytes in poll() or a socket notifier; -1 when closed.
    int descriptor() const { return link_.descriptor(); }
    Failure lastFailure() const;

    // Appends every byte that has arrived to `swipe`. False when the device has gone.
    bool readArrived(std::vector<std::uint8_t>& swipe);

    // The speed "main.baud_rate" names in the block, in bit/s (9600 when it names none).
    static int bitsPerSecond(const SettingsImage& image);

private:
    bool setSpeed(int bitsPerSecond);

    // Only reads: the real clock, which no write of the link waits on.
    SteadyClock clock_;
    SerialLink link_;
    Failure speedFailure_;
};

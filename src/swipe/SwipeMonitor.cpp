#include "swipe/SwipeMonitor.h"

#include "base/InterruptSignals.h"
#include "swipe/SwipeListener.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <poll.h>

namespace {

using MonotonicClock = std::chrono::steady_clock;

int pollTimeout(const std::optional<MonotonicClock::time_point>& deadline) {
    if (!deadline) {
        return -1;
    }
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*deadline - MonotonicClock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

} // namespace

SwipeMonitor::Ending SwipeMonitor::run(const Heard& heard) {
    for (;;) {
        std::array<pollfd, 2> fds{
            {{signals_.descriptor(), POLLIN, 0}, {listener_.descriptor(), POLLIN, 0}}};
        const int ready = ::poll(fds.data(), fds.size(), pollTimeout(splitter_.deadline()));
        if (ready < 0 && errno != EINTR) {
            error_ = std::string("poll: ") + std::strerror(errno);
            return Ending::Failed;
        }
        if ((fds[0].revents & POLLIN) != 0 && signals_.take() != 0) {
            // What came before the interruption is still handed on.
            readArrived(heard);
            handRest(heard);
            return Ending::Interrupted;
        }
        if (fds[1].revents != 0 && !readArrived(heard)) {
            handRest(heard);
            return Ending::Gone;
        }
        handComplete(heard);
    }
}

bool SwipeMonitor::readArrived(const Heard& heard) {
    std::vector<std::uint8_t> bytes;
    const bool present = listener_.readArrived(bytes);
    if (!bytes.empty()) {
        // A burst whose quiet time passed before these bytes came (the loop woke late) is
        // finished: it is handed on before they start the next one.
        handComplete(heard);
        if (splitter_.empty()) {
            burstStart_ = std::chrono::system_clock::now();
        }
        splitter_.add(bytes, MonotonicClock::now());
        handComplete(heard);
    }
    return present;
}

void SwipeMonitor::handComplete(const Heard& heard) {
    while (const std::optional<std::vector<std::uint8_t>> burst =
               splitter_.take(MonotonicClock::now())) {
        heard(*burst, burstStart_);
    }
}

void SwipeMonitor::handRest(const Heard& heard) {
    while (const std::optional<std::vector<std::uint8_t>> burst = splitter_.takeRest()) {
        heard(*burst, burstStart_);
    }
}

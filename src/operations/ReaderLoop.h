#pragma once

#include "base/UniqueFd.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/epoll.h>
#include <vector>

class Clock;
class InterruptSignals;
class ReaderSession;

// Serves every reader session in one thread and one epoll loop: each reader's serial line (edge
// triggered, so that bytes a step does not want yet do not wake the loop again and again; room
// for bytes that wait to be sent wakes it too), the interrupt signals, and optionally typed keys.
// A line the loop cannot watch fails its reader at once. After Ctrl+C the loop goes on until
// every reader's line has been quiet for a moment; a second Ctrl+C ends it at once. It sleeps until
// bytes arrive, a line hangs up, a signal comes or the earliest deadline of a reader (a tick, a
// limit, a quiet line) is due; nothing busy-waits.
class ReaderLoop {
public:
    enum class Ending {
        Finished,    // no session runs any longer
        Interrupted, // a signal came; every session that still ran was interrupted and released
        Failed,      // the loop itself could not wait (error() says why)
    };

    ReaderLoop(Clock& clock, InterruptSignals& signals);

    // Bytes typed on `fd` (a terminal in raw mode) are handed to onKey one by one.
    void watchKeys(int fd, std::function<void(int key)> onKey);
    // Called after every round, so that progress lines can be drawn.
    void afterRound(std::function<void()> callback) { afterRound_ = std::move(callback); }

    Ending run(const std::vector<ReaderSession*>& sessions);
    const std::string& error() const { return error_; }

private:
    bool add(int fd, unsigned events, std::uint64_t tag);
    void registerLines(const std::vector<ReaderSession*>& sessions);
    // Reads the ready events: marks the woken sessions; false when the loop must end at once.
    bool takeEvents(const std::vector<ReaderSession*>& sessions, int ready,
                    std::vector<bool>& woken, bool& keyed);
    void onSignal(const std::vector<ReaderSession*>& sessions);
    int timeoutMs(const std::vector<ReaderSession*>& sessions) const;
    bool readKeys();

    Clock& clock_;
    InterruptSignals& signals_;
    UniqueFd epoll_;
    int keysFd_ = -1;
    std::function<void(int)> onKey_;
    std::function<void()> afterRound_;
    std::vector<unsigned> registeredOpens_;
    std::array<epoll_event, 64> events_{};
    std::string error_;
    bool interrupted_ = false;
    bool released_ = false;
};

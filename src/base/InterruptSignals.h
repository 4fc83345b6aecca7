#pragma once

#include "base/UniqueFd.h"

#include <csignal>

// Ctrl+C (SIGINT), SIGTERM and SIGHUP, received on a descriptor that a poll loop waits on
// instead of through a handler and a global flag: they are blocked while the object lives, and
// the old signal mask comes back when it goes (signals that came meanwhile are taken first, so
// that they do not strike after the command has handled them).
class InterruptSignals {
public:
    InterruptSignals();
    ~InterruptSignals();
    InterruptSignals(const InterruptSignals&) = delete;
    InterruptSignals& operator=(const InterruptSignals&) = delete;

    // False when the signals could not be set up (the reason is in errno).
    bool valid() const { return fd_.valid(); }
    // Readable once one of the signals has arrived.
    int descriptor() const { return fd_.get(); }
    // The signal that arrived, 0 when none has.
    int take();

private:
    sigset_t previous_{};
    bool blocked_ = false;
    UniqueFd fd_;
};

#pragma once

#include <cstdint>
#include <optional>

// When the transfer window's work timer (timer 2) advances the engine: the window runs it on a
// QTimer, and a driver without the window (r550ctl's window pace) follows the same schedule on
// its clock. The timer starts at the engine's work period when the transaction starts, its first
// tick one period later; after the start and after every tick it follows the engine's period: a
// new period starts the timer afresh, a period of 0 stops it. A timer that fell behind (a
// keyboard send held the thread) fires once, not once per missed period.
class WorkTickSchedule {
public:
    enum class TimerChange {
        None,    // the timer runs on as it is
        Restart, // start it afresh at periodMs()
        Stop,
    };

    // The engine's period at `nowMs`, after the start or a tick. The window's QTimer keeps its own
    // time, so the window need not give one.
    TimerChange follow(int periodMs, std::int64_t nowMs = 0);
    // A tick ran and ended at `afterMs`.
    void ticked(std::int64_t afterMs);
    void stop() { running_ = false; }

    bool running() const { return running_; }
    int periodMs() const { return periodMs_; }
    // When the next tick is due; nothing while the timer is stopped.
    std::optional<std::int64_t> nextTickMs() const;
    bool due(std::int64_t nowMs) const { return running_ && nowMs >= nextMs_; }

private:
    bool running_ = false;
    int periodMs_ = 0;
    std::int64_t nextMs_ = 0;
};

#include "link/WorkTickSchedule.h"

WorkTickSchedule::TimerChange WorkTickSchedule::follow(int periodMs, std::int64_t nowMs) {
    if (periodMs <= 0) {
        running_ = false;
        return TimerChange::Stop;
    }
    if (running_ && periodMs == periodMs_) {
        return TimerChange::None;
    }
    running_ = true;
    periodMs_ = periodMs;
    nextMs_ = nowMs + periodMs;
    return TimerChange::Restart;
}

void WorkTickSchedule::ticked(std::int64_t afterMs) {
    nextMs_ = nextMs_ + periodMs_ > afterMs ? nextMs_ + periodMs_ : afterMs + periodMs_;
}

std::optional<std::int64_t> WorkTickSchedule::nextTickMs() const {
    if (!running_) {
        return std::nullopt;
    }
    return nextMs_;
}

#include "link/TransferPacer.h"

#include "link/Clock.h"
#include "link/FrameBatch.h"
#include "link/TransferEngine.h"

#include <algorithm>

namespace {

// A block reply: two unexamined bytes and the length byte before the data.
constexpr int kBlockHeader = 3;
constexpr int kAcknowledgement = 4;
// More than a counted reply can hold (its length byte and 255 bytes would not fit a reply slot):
// the step need not wait for the line to go quiet.
constexpr int kCountedReplyMost = FrameBatch::kSlotSize + 1;
// A service runs at most this many steps; an engine whose step does not move is left to wait.
constexpr int kMostStepsAtOnce = 64;

} // namespace

TransferPacer::TransferPacer(TransferEngine& engine, Clock& clock, Pace pace, Limits limits)
    : engine_(engine), clock_(clock), pace_(pace), limits_(limits) {}

void TransferPacer::start(const Waiting& waiting) {
    hold_ = false;
    key_ = -1;
    seen_ = 0;
    windowTicks_.stop();
    engine_.start();
    service(waiting);
}

bool TransferPacer::windowPaced() const {
    if (pace_ == Pace::Window) {
        return true;
    }
    const Transfer& transfer = engine_.transfer();
    switch (transfer.mode) {
    case TransferMode::Exchange:
        return transfer.port == Transfer::kKeyboardLine;
    case TransferMode::AutoDetect:
        return engine_.probeIndex() == TransferEngine::kKeyboardCandidate;
    case TransferMode::KeyboardBatch:
        return true;
    }
    return true;
}

std::int64_t TransferPacer::stepKey() const {
    // Every change of step, frame or candidate starts a new wait.
    const std::int64_t step = engine_.transfer().mode == TransferMode::AutoDetect
                                  ? static_cast<std::int64_t>(engine_.detectStep())
                                  : static_cast<std::int64_t>(engine_.exchangeStep());
    return step | (std::int64_t{engine_.transfer().batch.current} & 0xFFFF) << 8 |
           (std::int64_t{engine_.probeIndex()} + 1) << 24;
}

bool TransferPacer::noteStep(std::int64_t nowMs) {
    const std::int64_t key = stepKey();
    if (key == key_) {
        return false;
    }
    key_ = key;
    stepStartMs_ = nowMs;
    if (engine_.transfer().mode == TransferMode::Exchange &&
        engine_.exchangeStep() == ExchangeStep::AwaitCommandEcho) {
        // The echo is in: the rest of the reply has its own limit from here.
        replyStartMs_ = nowMs;
    }
    return true;
}

std::optional<std::int64_t> TransferPacer::limitDeadline(int& limitMs) const {
    const Transfer& transfer = engine_.transfer();
    if (transfer.mode == TransferMode::AutoDetect) {
        // The window gives a probe 5 s on its own ticks; paced by the reader, the answer is an
        // echo and comes within the echo time.
        if (windowPaced() || engine_.detectStep() != DetectStep::AwaitProbeAnswer) {
            return std::nullopt;
        }
        limitMs = limits_.echoMs;
        return stepStartMs_ + limits_.echoMs;
    }
    if (transfer.mode != TransferMode::Exchange || transfer.port == Transfer::kKeyboardLine) {
        return std::nullopt;
    }
    switch (engine_.exchangeStep()) {
    case ExchangeStep::SendNext:
        return std::nullopt;
    case ExchangeStep::AwaitEcho:
    case ExchangeStep::ReadBlockReply:
        // On the window's ticks these steps end at the next tick whatever has come.
        if (windowPaced()) {
            return std::nullopt;
        }
        if (engine_.exchangeStep() == ExchangeStep::AwaitEcho) {
            // Held after Ctrl+C, a late answer is waited for as long as any reply, so that it
            // cannot reach the next command.
            limitMs = hold_ ? limits_.replyMs : limits_.echoMs;
            return stepStartMs_ + limitMs;
        }
        break;
    case ExchangeStep::AwaitCommandEcho:
    case ExchangeStep::ReadCountedReply:
    case ExchangeStep::ReadAcknowledge:
        break;
    }
    limitMs = limits_.replyMs;
    return replyStartMs_ + limits_.replyMs;
}

TransferPacer::Action TransferPacer::nextAction(std::int64_t nowMs, int waiting,
                                                int& limitMs) const {
    if (waiting < 0) {
        // The device has gone: the step's own read finds out and tells why.
        return Action::Tick;
    }
    const bool quietNow = nowMs - lastArrivalMs_ >= limits_.quietMs;
    int needed = 0;
    bool quietRule = false;
    if (engine_.transfer().mode == TransferMode::AutoDetect) {
        if (engine_.detectStep() != DetectStep::AwaitProbeAnswer) {
            return Action::Tick;
        }
        needed = 1;
        quietRule = true;
    } else {
        const FrameBatch& batch = engine_.transfer().batch;
        switch (engine_.exchangeStep()) {
        case ExchangeStep::SendNext:
            return Action::Tick;
        case ExchangeStep::AwaitEcho:
        case ExchangeStep::AwaitCommandEcho:
            needed = 1;
            break;
        case ExchangeStep::ReadAcknowledge:
            needed = kAcknowledgement;
            break;
        case ExchangeStep::ReadBlockReply:
            needed = kBlockHeader;
            if (batch.current >= 0 && batch.current < batch.usableCount()) {
                needed += batch.frames[static_cast<std::size_t>(batch.current)][4];
            }
            break;
        case ExchangeStep::ReadCountedReply:
            needed = 1;
            quietRule = waiting < kCountedReplyMost;
            break;
        }
    }
    if (waiting >= needed && (!quietRule || quietNow)) {
        return Action::Tick;
    }
    const std::optional<std::int64_t> limit = limitDeadline(limitMs);
    if (limit && nowMs >= *limit) {
        // A line that never went quiet still answered: take what is there.
        return quietRule && waiting >= needed ? Action::Tick : Action::TimeOut;
    }
    return Action::Wait;
}

void TransferPacer::service(const Waiting& waiting) {
    std::int64_t now = clock_.nowMilliseconds();
    int have = waiting ? waiting() : 0;
    if (have > seen_ || have < 0) {
        lastArrivalMs_ = now;
    }
    for (int steps = 0; steps < kMostStepsAtOnce && !engine_.finished() && !holding(); ++steps) {
        // Bytes found waiting as a step begins may have come just now, while the last step ran:
        // the line's quiet time counts from here at the earliest.
        if (noteStep(now) && have > 0) {
            lastArrivalMs_ = now;
        }
        if (windowPaced()) {
            serviceWindow(now);
            break;
        }
        windowTicks_.stop();
        int limitMs = 0;
        const Action action = nextAction(now, have, limitMs);
        if (action == Action::Wait) {
            break;
        }
        const std::int64_t before = stepKey();
        if (action == Action::Tick) {
            engine_.workTick();
        } else {
            engine_.timeOut(limitMs);
        }
        now = clock_.nowMilliseconds();
        if (!engine_.finished() && stepKey() == before) {
            if (have >= 0) {
                break; // nothing moved (a read that found nothing after all): wait for more
            }
            // The line could not tell, yet the read found the device there: the wait's own
            // limit decides.
            have = 0;
            continue;
        }
        have = waiting ? waiting() : 0;
    }
    if (!engine_.finished()) {
        noteStep(now);
    }
    seen_ = engine_.finished() || !waiting ? 0 : std::max(waiting(), 0);
}

void TransferPacer::serviceWindow(std::int64_t nowMs) {
    windowTicks_.follow(engine_.workPeriodMs(), nowMs);
    if (windowTicks_.due(nowMs)) {
        engine_.workTick();
        const std::int64_t after = clock_.nowMilliseconds();
        windowTicks_.ticked(after);
        windowTicks_.follow(engine_.workPeriodMs(), after);
        nowMs = after;
        if (engine_.finished()) {
            return;
        }
        noteStep(nowMs);
    }
    int limitMs = 0;
    const std::optional<std::int64_t> limit = limitDeadline(limitMs);
    if (limit && nowMs >= *limit) {
        engine_.timeOut(limitMs);
    }
}

bool TransferPacer::holding() const {
    return hold_ && !engine_.finished() && engine_.transfer().mode == TransferMode::Exchange &&
           engine_.exchangeStep() == ExchangeStep::SendNext;
}

std::optional<std::int64_t> TransferPacer::deadline() const {
    if (engine_.finished() || holding()) {
        return std::nullopt;
    }
    int limitMs = 0;
    std::optional<std::int64_t> due = limitDeadline(limitMs);
    const auto earliest = [&due](std::int64_t at) { due = due ? std::min(*due, at) : at; };
    if (windowPaced()) {
        if (const std::optional<std::int64_t> tick = windowTicks_.nextTickMs()) {
            earliest(*tick);
        }
        return due;
    }
    const bool quietStep = engine_.transfer().mode == TransferMode::AutoDetect
                               ? engine_.detectStep() == DetectStep::AwaitProbeAnswer
                               : engine_.exchangeStep() == ExchangeStep::ReadCountedReply;
    const bool runsAtOnce = engine_.transfer().mode == TransferMode::AutoDetect
                                ? engine_.detectStep() != DetectStep::AwaitProbeAnswer
                                : engine_.exchangeStep() == ExchangeStep::SendNext;
    if (runsAtOnce) {
        earliest(stepStartMs_);
    }
    if (quietStep && seen_ > 0) {
        earliest(lastArrivalMs_ + limits_.quietMs);
    }
    return due;
}

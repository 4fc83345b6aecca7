#include "support/EngineTransactionRunner.h"

#include "link/KeyboardPortLink.h"

#include <memory>

namespace {

// The next timeout of a periodic timer: one period on, or one period from now when the thread
// was held past it (a timer that fell behind fires once, not once per missed period).
std::int64_t nextTimeout(std::int64_t previous, int periodMs, std::int64_t now) {
    const std::int64_t next = previous + periodMs;
    return next > now ? next : now + periodMs;
}

} // namespace

EngineTransactionRunner::EngineTransactionRunner()
    : clock_(&ownClock_), serialPort_(&ownSerial_), io_(&ownIo_) {}

EngineTransactionRunner::EngineTransactionRunner(FakeClock& clock, SerialPort& serial, PortIo& io)
    : clock_(&clock), serialPort_(&serial), io_(&io) {}

EngineTransactionRunner::Hook
EngineTransactionRunner::at(std::int64_t atMs, std::function<void(TransferEngine&)> action) {
    // Shared so that copies of the hook agree on whether it has fired; re-armed when a new run
    // starts at elapsed 0.
    auto fired = std::make_shared<bool>(false);
    auto lastSeen = std::make_shared<std::int64_t>(-1);
    return [atMs, action = std::move(action), fired, lastSeen](TransferEngine& engine,
                                                               std::int64_t elapsedMs) {
        if (elapsedMs < *lastSeen) {
            *fired = false;
        }
        *lastSeen = elapsedMs;
        if (!*fired && elapsedMs >= atMs) {
            *fired = true;
            action(engine);
        }
    };
}

EndCode EngineTransactionRunner::run(Transfer& transfer) {
    received.push_back(transfer);
    KeyboardPortLink keyboard(*io_, *clock_);
    TransferEngine engine(*clock_, *serialPort_, keyboard);
    engine.transfer() = transfer;

    const std::int64_t begin = clock_->nowMilliseconds();
    hitLimit_ = false;
    engine.start();
    int workPeriod = engine.workPeriodMs();
    std::int64_t nextProgress = begin + TransferEngine::kProgressPeriodMs;
    std::int64_t nextWork = begin + workPeriod;

    while (!engine.finished()) {
        std::int64_t now = clock_->nowMilliseconds();
        if (now - begin > limitMs) {
            hitLimit_ = true;
            engine.cancel();
            break;
        }
        if (hook) {
            hook(engine, now - begin);
            if (engine.finished()) {
                break;
            }
            now = clock_->nowMilliseconds();
        }
        if (engine.workPeriodMs() != workPeriod) {
            workPeriod = engine.workPeriodMs();
            nextWork = now + workPeriod;
        }
        const bool workFirst = workPeriod > 0 && nextWork <= nextProgress;
        const std::int64_t due = workFirst ? nextWork : nextProgress;
        if (due > now) {
            clock_->advance(due - now);
            continue;
        }
        if (workFirst) {
            engine.workTick();
            nextWork = nextTimeout(nextWork, workPeriod, clock_->nowMilliseconds());
        } else {
            engine.progressTick();
            nextProgress = nextTimeout(nextProgress, TransferEngine::kProgressPeriodMs,
                                       clock_->nowMilliseconds());
        }
    }

    lastElapsedMs_ = clock_->nowMilliseconds() - begin;
    lastEndCode_ = engine.endCode();
    transfer = engine.transfer();
    return lastEndCode_;
}

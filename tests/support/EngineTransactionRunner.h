#pragma once

#include "link/Transfer.h"
#include "link/TransferEngine.h"
#include "operations/TransactionRunner.h"
#include "support/FakeClock.h"
#include "support/FakeSerialPort.h"
#include "support/RecordingPortIo.h"

#include <cstdint>
#include <functional>
#include <vector>

class PortIo;
class SerialPort;

// The transaction runner of the tests: the real TransferEngine, ticked to its end on a fake
// clock as the window's timers would tick it (timer 1 every 100 ms, timer 2 every
// workPeriodMs()), against a fake serial port and recording port I/O. By default it owns those
// fakes, so a test scripts the reader through serial() and reads the keyboard bytes from
// portIo(); it can also run against fakes the test owns.
class EngineTransactionRunner : public TransactionRunner {
public:
    // Called before every tick and between ticks with the engine and the simulated time since
    // the run started; may press keys (engine.keyDown), CANCEL or Escape, or script the reader.
    using Hook = std::function<void(TransferEngine& engine, std::int64_t elapsedMs)>;

    // A run that has not ended after this much simulated time is cancelled (hitLimit() tells).
    static constexpr std::int64_t kDefaultLimitMs = 10 * 60 * 1000;

    EngineTransactionRunner();
    EngineTransactionRunner(FakeClock& clock, SerialPort& serial, PortIo& io);

    EndCode run(Transfer& transfer) override;

    // The runner's own fakes (used unless others were given to the constructor).
    FakeClock& clock() { return *clock_; }
    FakeSerialPort& serial() { return ownSerial_; }
    RecordingPortIo& portIo() { return ownIo_; }

    Hook hook;
    std::int64_t limitMs = kDefaultLimitMs;

    // Each transfer as it was handed over, before the engine touched it.
    std::vector<Transfer> received;
    const Transfer& last() const { return received.back(); }
    EndCode lastEndCode() const { return lastEndCode_; }
    // Simulated time of the last run, from start() to its end.
    std::int64_t lastElapsedMs() const { return lastElapsedMs_; }
    bool hitLimit() const { return hitLimit_; }

    // A hook that runs `action` once, at the first call at or after `atMs` of each run.
    static Hook at(std::int64_t atMs, std::function<void(TransferEngine&)> action);

private:
    FakeClock ownClock_;
    FakeSerialPort ownSerial_;
    RecordingPortIo ownIo_{ownClock_};
    FakeClock* clock_;
    SerialPort* serialPort_;
    PortIo* io_;
    EndCode lastEndCode_ = EndCode::Running;
    std::int64_t lastElapsedMs_ = 0;
    bool hitLimit_ = false;
};

#pragma once

#include "link/Transfer.h"

#include <cstdint>
#include <functional>

class Clock;
class KeyboardPortLink;
class SerialPort;

// The transaction state machines of the transfer window, without the window: the window owns
// two timers and forwards their ticks, key-downs and buttons here. Everything runs one tick at a
// time on the caller's thread; time comes from the Clock, so a test runs a whole auto-detect in
// microseconds.
class TransferEngine {
public:
    // End codes of a run: every ending of the transaction, and the Escape key.
    static constexpr int kEndOk = 1;
    static constexpr int kEndEscape = 2;

    static constexpr int kProgressPeriodMs = 100;
    static constexpr int kProgressPauseMs = 25;
    static constexpr int kProgressMaximum = 100;
    static constexpr int kFastWorkPeriodMs = 100;
    static constexpr int kSerialWorkPeriodMs = 500;
    static constexpr std::int64_t kKeyboardProbeLimitSeconds = 10;
    static constexpr std::int64_t kSerialProbeLimitSeconds = 5;
    // Auto-detect candidates: the keyboard line, then serial ports 1 to 9.
    static constexpr std::int32_t kKeyboardCandidate = 0;
    static constexpr std::int32_t kLastSerialCandidate = 9;

    // Steps of the serial exchange (there is no step 4).
    enum ExchangeState : std::int32_t {
        SendNext = 0,
        AwaitEcho = 1,
        AwaitCommandEcho = 2,
        ReadCountedReply = 3,
        ReadBlockReply = 5,
        ReadAcknowledge = 6,
    };
    // Steps of the auto-detect.
    enum DetectState : std::int32_t {
        SendProbe = 0,
        AwaitProbeAnswer = 1,
        Found = 2,
    };

    TransferEngine(Clock& clock, SerialPort& serial, KeyboardPortLink& keyboard);
    ~TransferEngine();
    TransferEngine(const TransferEngine&) = delete;
    TransferEngine& operator=(const TransferEngine&) = delete;

    // Inputs before start(), outputs after the end.
    Transfer& transfer() { return transfer_; }
    const Transfer& transfer() const { return transfer_; }

    // The window's initialisation: driver check, state reset, and by mode the first steps (the
    // open of the serial port for Exchange). May end the run at once (open failed).
    void start();
    // One tick of timer 2.
    void workTick();
    // One tick of timer 1: step the bar (wrapping past 100), then the 25 ms pause.
    void progressTick();
    // A key-down bound for the window, before its own key handling (the O-key rule).
    void keyDown(int key);
    // CANCEL button or Enter: result -1, end code 1.
    void cancel();
    // Escape: end code 2, result unchanged.
    void escape();

    bool finished() const { return finished_; }
    int endCode() const { return endCode_; }
    // Period of timer 2 while it runs, 0 while it is stopped.
    int workPeriodMs() const { return workPeriodMs_; }
    int progress() const { return progress_; }
    std::int32_t state() const { return state_; }
    std::int32_t probeIndex() const { return probeIndex_; }
    std::int64_t probeStart() const { return probeStart_; }
    std::int32_t runningChecksum() const { return runningChecksum_; }

    // Called after every progress step (also the steps inside a keyboard send), so that the
    // window can show the bar while a send holds the thread.
    void setProgressListener(std::function<void(int)> listener) {
        progressListener_ = std::move(listener);
    }

private:
    void sendKeyboardBatch();
    void sendKeyboardFrame();
    void exchangeStep();
    void sendNext();
    void awaitEcho();
    void awaitCommandEcho();
    void readCountedReply();
    void readBlockReply();
    void readAcknowledge();
    void detectStep();
    void sendProbe();
    void awaitProbeAnswer();
    void nextCandidate();

    // The progress step itself, shared by timer 1 and the keyboard send.
    void stepProgress();
    // The frame was answered: result 1, on to the next frame.
    void completeFrame();
    // Close the port, result -1, end code 1.
    void failExchange();
    // Clears reply slot `current`, then reads at most n bytes into it from byte 0. Returns the
    // byte count (0 also when the device is gone; serial_.lost() tells the two apart).
    int readReply(int n);
    void recordReplyLength(int length);
    FrameBatch::Slot& currentFrame();
    FrameBatch::Slot& currentReply();
    std::int64_t elapsedSeconds() const;
    void finish(int endCode);

    Clock& clock_;
    SerialPort& serial_;
    KeyboardPortLink& keyboard_;
    Transfer transfer_;
    std::int32_t state_ = 0;
    std::int32_t probeIndex_ = -1;
    std::int32_t runningChecksum_ = 0;
    std::int64_t probeStart_ = 0;
    int progress_ = 0;
    int workPeriodMs_ = 0;
    bool finished_ = false;
    int endCode_ = 0;
    std::function<void(int)> progressListener_;
};

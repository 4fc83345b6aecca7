#pragma once

#include "link/SerialPort.h"
#include "link/Transfer.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class Clock;
class KeyboardPortLink;

// Steps of the serial exchange (there is no step 4).
enum class ExchangeStep : std::int32_t {
    SendNext = 0,
    AwaitEcho = 1,
    AwaitCommandEcho = 2,
    ReadCountedReply = 3,
    ReadBlockReply = 5,
    ReadAcknowledge = 6,
};

// Steps of the auto-detect.
enum class DetectStep : std::int32_t {
    SendProbe = 0,
    AwaitProbeAnswer = 1,
    Found = 2,
};

// The transaction state machines of the transfer window, without the window: the window owns
// two timers and forwards their ticks, key-downs and buttons here. Everything runs one tick at a
// time on the caller's thread; time comes from the Clock, so a test runs a whole auto-detect in
// microseconds.
class TransferEngine {
public:
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

    TransferEngine(Clock& clock, SerialPort& serial, KeyboardPortLink& keyboard);
    ~TransferEngine();
    TransferEngine(const TransferEngine&) = delete;
    TransferEngine& operator=(const TransferEngine&) = delete;

    // Inputs before start(), outputs after the end (transfer().failure tells why a run failed).
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
    // CANCEL button or Enter: result Failure, end code Ended.
    void cancel();
    // Escape: end code Escape, result unchanged.
    void escape();
    // The reply being waited for did not come within waitedMs (a driver that gives every wait a
    // limit): the exchange fails with NoAnswer (the echo) or NoReply (the rest of a reply). In the
    // auto-detect, the serial port being probed did not answer: the search moves on to the next
    // candidate as after the window's 5 s. Does nothing outside such a wait.
    void timeOut(int waitedMs);

    // The candidates the auto-detect tries, first to last (0 the keyboard line, n serial port n).
    // The window's search tries them all, 0 to 9; a driver that probes ports side by side gives
    // each engine one. Set before start().
    void setCandidates(std::int32_t first, std::int32_t last) {
        firstCandidate_ = first;
        lastCandidate_ = last;
        onlyCandidate_.reset();
    }
    // The auto-detect probes this one serial port, named by its number or by its device path.
    void setOnlyCandidate(const PortName& port) {
        firstCandidate_ = 1;
        lastCandidate_ = 1;
        onlyCandidate_ = port;
    }

    bool finished() const { return finished_; }
    EndCode endCode() const { return endCode_; }
    // Period of timer 2 while it runs, 0 while it is stopped.
    int workPeriodMs() const { return workPeriodMs_; }
    int progress() const { return progress_; }
    ExchangeStep exchangeStep() const { return exchangeStep_; }
    DetectStep detectStep() const { return detectStep_; }
    std::int32_t probeIndex() const { return probeIndex_; }

    // Called after every progress step (also the steps inside a keyboard send), so that the
    // window can show the bar while a send holds the thread.
    void setProgressListener(std::function<void(int)> listener) {
        progressListener_ = std::move(listener);
    }

private:
    // A keyboard-line send waits for access to the port; false while it is still being asked
    // for, and after the run failed for want of it.
    bool keyboardAccessGranted();
    void failKeyboardSend();
    void sendKeyboardBatch();
    void sendKeyboardFrame();
    void runExchangeStep();
    void sendNext();
    void awaitEcho();
    void awaitCommandEcho();
    void readCountedReply();
    void readBlockReply();
    void readAcknowledge();
    void runDetectStep();
    void sendProbe();
    void sendKeyboardProbe();
    void awaitProbeAnswer();
    void nextCandidate();
    // The serial port of the candidate being probed.
    PortName candidatePort() const;

    // The progress step itself, shared by timer 1 and the keyboard send.
    void stepProgress();
    // The frame was answered: result Success, on to the next frame.
    void completeFrame();
    // Close the port, result Failure with its reason, end code Ended.
    void failExchange(Failure failure);
    void failExchange(FailureKind kind);
    // The port's own account of why it failed (open refused, device gone).
    void failFromPort();
    // The reader answered, but not as the protocol wants.
    void failUnexpected();
    // A read in a wait that came up empty: the device is gone, or nothing has come yet.
    void failSilent(const ReadResult& read, FailureKind silence);
    // Clears reply slot `current`, then reads at most n bytes into it from byte 0.
    ReadResult readReply(int n);
    void recordReplyLength(int length);
    FrameBatch::Slot& currentFrame();
    FrameBatch::Slot& currentReply();
    std::int64_t elapsedSeconds() const;
    void finish(EndCode endCode);

    Clock& clock_;
    SerialPort& serial_;
    KeyboardPortLink& keyboard_;
    Transfer transfer_;
    ExchangeStep exchangeStep_ = ExchangeStep::SendNext;
    DetectStep detectStep_ = DetectStep::SendProbe;
    std::int32_t probeIndex_ = -1;
    std::int32_t firstCandidate_ = kKeyboardCandidate;
    std::int32_t lastCandidate_ = kLastSerialCandidate;
    std::optional<PortName> onlyCandidate_;
    std::int64_t probeStart_ = 0;
    // The keyboard probe waits for the port-I/O backend's answer to its request for access.
    bool keyboardProbeWaiting_ = false;
    int progress_ = 0;
    int workPeriodMs_ = 0;
    bool finished_ = false;
    EndCode endCode_ = EndCode::Running;
    // The bytes received for the current frame, for the report of an unexpected answer.
    std::vector<std::uint8_t> received_;
    std::function<void(int)> progressListener_;
};

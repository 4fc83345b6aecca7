#pragma once

#include "link/WorkTickSchedule.h"

#include <cstdint>
#include <functional>
#include <optional>

class Clock;
class TransferEngine;

// When a TransferEngine's steps run, for a driver without the window's timers.
enum class Pace {
    // Paced by the reader: a step runs as soon as the bytes it reads have arrived, and every
    // wait has a limit.
    Reader,
    // The window's own ticks (the engine's work period: 500 ms on a serial port, 100 ms
    // otherwise); waits that the window would hold until CANCEL get the reply limit.
    Window,
};

// Drives one TransferEngine from the outside: the caller tells it how many bytes wait on the line
// and asks when it must be called again if nothing arrives; time comes from the Clock. The engine
// alone reads and writes; the pacer only decides when its steps run.
//
// Paced by the reader, a serial exchange runs each step once the bytes it reads are there: the
// send at once, the echo and the command echo at one byte, an acknowledgement at four, a block
// reply at its three header bytes and the length the frame asked for. A counted reply, whose
// length the step reads itself, runs once the line has been quiet for `quietMs`, and so does the
// answer to a serial probe, so that the rest of either never passes for the start of the next
// answer. The echo must come within `echoMs` of the write, as it must by the window's first tick;
// the rest of each reply within `replyMs` of the echo; a probe's answer within `echoMs`.
// The keyboard line gives no replies: its transactions always run on the window's ticks.
class TransferPacer {
public:
    struct Limits {
        int echoMs = 500;
        int replyMs = 2000;
        int quietMs = 20;
    };
    // The bytes that wait on the line; negative when the device can no longer tell (it has gone).
    using Waiting = std::function<int()>;

    TransferPacer(TransferEngine& engine, Clock& clock, Pace pace, Limits limits);

    // Starts the engine's transaction (engine.start()) and runs what can run at once.
    void start(const Waiting& waiting);
    // Runs every step that can run now, and fails a wait that has passed its limit.
    void service(const Waiting& waiting);
    // When service must run again if nothing arrives; nothing once the engine has finished.
    std::optional<std::int64_t> deadline() const;
    // After Ctrl+C: the frame on its way is still answered (its echo too within the reply limit),
    // but no further frame is sent; start() ends the hold.
    void holdNextFrame() { hold_ = true; }
    // Held before a serial exchange's next frame: the last frame sent has had its answer.
    bool holding() const;

private:
    enum class Action { Wait, Tick, TimeOut };

    // The transaction runs on the window's ticks (asked for, or on the keyboard line).
    bool windowPaced() const;
    // Notes when the engine's step changed, the start of a wait; true when it did.
    bool noteStep(std::int64_t nowMs);
    std::int64_t stepKey() const;
    Action nextAction(std::int64_t nowMs, int waiting, int& limitMs) const;
    // The reply limit that the engine's current wait is under, and when it runs out.
    std::optional<std::int64_t> limitDeadline(int& limitMs) const;
    void serviceWindow(std::int64_t nowMs);

    TransferEngine& engine_;
    Clock& clock_;
    Pace pace_;
    Limits limits_;
    std::int64_t key_ = -1;
    std::int64_t stepStartMs_ = 0;
    std::int64_t replyStartMs_ = 0;
    std::int64_t lastArrivalMs_ = 0;
    int seen_ = 0; // bytes waiting after the last service
    bool hold_ = false;
    // The window's ticks; running only while the current step is paced by them.
    WorkTickSchedule windowTicks_;
};

#pragma once

#include "SerialLine.h"
#include "SimOptions.h"
#include "SimReader.h"

#include <cstdint>
#include <string>
#include <vector>

// Tells the person running the simulator what went wrong: "r550-sim: TEXT" on standard error.
void complain(const std::string& text);

// Serves one SimReader on the master side of the pseudo-terminal: feeds it what the tool
// writes, sends back its replies, appends each frame to the log and keeps the memory file. With
// a line rate, bytes pass both ways at the speed of that line; answers may be held a while. On
// SIGUSR1 it sends the card data of the options, as a swipe.
class SimSession {
public:
    // `log` is an open descriptor or -1; `signals` a signal descriptor for the stop signals and
    // SIGUSR1. The descriptors stay owned by the caller.
    SimSession(const SimOptions& options, SimReader& reader, int master, int log, int signals)
        : options_(options), reader_(reader), master_(master), log_(log), signals_(signals),
          input_(options.lineRate), output_(options.lineRate) {}

    // Serves until a stop signal arrives: true then, false when the pseudo-terminal fails.
    bool serve();

    // Rewrites the memory file, if there is one, with the reader's memory. False when that fails.
    bool saveMemory() const;

private:
    // False when a stop signal came; a swipe is sent.
    bool handleSignal();
    bool receive(SerialLine::TimePoint now);
    void feedArrived(SerialLine::TimePoint now);
    void queueOutput(const std::vector<std::uint8_t>& bytes, SerialLine::TimePoint at,
                     const char* what);
    bool sendPending();
    void dropAbandonedFrame();
    // Waits a little (or for a stop signal) instead of polling a hung-up master in a tight loop.
    void pause() const;

    const SimOptions& options_;
    SimReader& reader_;
    int master_;
    int log_;
    int signals_;
    SerialLine input_;  // what the tool wrote, on its way to the reader
    SerialLine output_; // what the reader answered, on its way to the tool
    SerialLine::TimePoint lastInput_{};
    // Bytes that have come down the line but that the pseudo-terminal has not taken yet.
    std::vector<std::uint8_t> pendingReply_;
};

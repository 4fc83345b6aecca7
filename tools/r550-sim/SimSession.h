#pragma once

#include "SimOptions.h"
#include "SimReader.h"

#include <cstdint>
#include <vector>

// Serves one SimReader on the master side of the pseudo-terminal: feeds it what the tool
// writes, sends back its replies, appends each frame to the log and keeps the memory file.
class SimSession {
public:
    // `log` is an open descriptor or -1; the descriptors stay owned by the caller.
    SimSession(const SimOptions& options, SimReader& reader, int master, int log, int stopSignals)
        : options_(options), reader_(reader), master_(master), log_(log),
          stopSignals_(stopSignals) {}

    // Serves until a stop signal arrives: true then, false when the pseudo-terminal fails.
    bool serve();

    // Rewrites the memory file, if there is one, with the reader's memory. False when that fails.
    bool saveMemory() const;

private:
    bool receive();
    bool sendPending();
    void dropAbandonedFrame();
    // Waits a little (or for a stop signal) instead of polling a hung-up master in a tight loop.
    void pause() const;

    const SimOptions& options_;
    SimReader& reader_;
    int master_;
    int log_;
    int stopSignals_;
    std::vector<std::uint8_t> pendingReply_;
};

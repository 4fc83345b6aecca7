#pragma once

#include "link/NullPortIo.h"
#include "link/PortMap.h"
#include "link/PortName.h"
#include "link/SteadyClock.h"
#include "operations/Outcome.h"
#include "operations/ReaderSession.h"
#include "settings/SettingsImage.h"
#include "swipe/SwipeLayout.h"

#include <cstdint>

// The reader's main settings read back before its swipes are heard, so that prefixes and
// suffixes are marked from what the reader holds rather than from what a window or a file says
// it should hold. It is "Load Main Setting From R550" into a scratch copy, paced by the reader:
// each step runs as soon as its bytes have arrived (about 0.15 s for the three blocks at 9600
// bit/s), and every wait has a limit. The caller's loop serves the session: r550ctl's ReaderLoop
// or the window's socket notifier.
class LayoutReadBack {
public:
    // `base` gives every byte that the read-back leaves alone.
    LayoutReadBack(const PortMap& map, const PortName& port, const SettingsImage& base);
    LayoutReadBack(const LayoutReadBack&) = delete;
    LayoutReadBack& operator=(const LayoutReadBack&) = delete;

    // Opens the port and sends the first frame; the session may have ended at once (no port).
    void start();
    ReaderSession& session() { return session_; }
    Clock& clock() { return clock_; }

    bool finished() const { return finished_; }
    bool succeeded() const { return finished_ && outcome_.done(); }
    // Why it did not succeed, with the device the port leads to.
    const Outcome& outcome() const { return outcome_; }
    // `base` with the reader's main settings laid over it once the read-back succeeded.
    const SettingsImage& image() const { return image_; }
    SwipeLayout layout() const { return SwipeLayout::fromSettings(image_); }
    // From start() to the end.
    std::int64_t elapsedMs() const { return session_.elapsedMs(); }

private:
    SteadyClock clock_;
    NullPortIo noKeyboard_;
    PortName port_;
    ReaderSession session_;
    SettingsImage image_;
    Outcome outcome_;
    bool finished_ = false;
};

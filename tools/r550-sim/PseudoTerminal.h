#pragma once

#include "base/UniqueFd.h"

#include <string>

// A pseudo-terminal whose slave side plays the reader's serial port. The slave is put in raw
// mode at once, so the line discipline neither echoes the reader's replies back to it nor
// translates any byte, and the simulator keeps one slave descriptor open for its whole life: the
// master would otherwise see a hang-up each time the tool closes the port.
class PseudoTerminal {
public:
    // Opens master and slave. False with the reason in `error`.
    bool open(std::string& error);

    // Holds the line stopped, as flow control would: whatever the tool writes to the port waits
    // in its own queue. False when the terminal refuses.
    bool stopLine();

    // Non-blocking, close-on-exec.
    int master() const { return master_.get(); }
    // The slave device, e.g. "/dev/pts/4".
    const std::string& slaveName() const { return slaveName_; }

private:
    UniqueFd master_;
    UniqueFd slave_;
    std::string slaveName_;
};

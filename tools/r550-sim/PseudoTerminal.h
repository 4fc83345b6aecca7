#pragma once

#include "base/UniqueFd.h"

#include <string>

// A pseudo-terminal whose slave side plays the reader's serial port. The slave is put in raw
// mode at once, so the line discipline neither echoes the reader's replies back to it nor
// translates any byte; then the simulator closes it and keeps only the master, as a reader keeps
// nothing of the PC's port open: a tool that looks for other programs holding the port finds
// none. The terminal keeps its settings and the bytes written to the master while no slave is
// open, and hands them to the next open; the master sees a hang-up meanwhile.
class PseudoTerminal {
public:
    // Opens the master and sets the slave up. False with the reason in `error`.
    bool open(std::string& error);

    // Holds the line stopped, as flow control would: whatever the tool writes to the port waits
    // in its own queue. False when the terminal refuses.
    bool stopLine();

    // Non-blocking, close-on-exec.
    int master() const { return master_.get(); }
    // The slave device, e.g. "/dev/pts/4".
    const std::string& slaveName() const { return slaveName_; }

private:
    // The slave, opened for a moment to set it up.
    UniqueFd openSlave(std::string& error) const;

    UniqueFd master_;
    std::string slaveName_;
};

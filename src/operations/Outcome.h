#pragma once

#include "link/Failure.h"

#include <cstdint>
#include <string>

// How a device command ended.
enum class OutcomeStatus {
    NotRun,    // the command had nothing to do (a reset with no mode known)
    Done,      // the reader did what was asked
    Failed,    // it did not; `failure` says why
    Cancelled, // the operator pressed CANCEL (or Enter)
    Dismissed, // the operator pressed Escape or closed the progress window
};

// What a device command hands back to the window or to r550ctl.
struct Outcome {
    OutcomeStatus status = OutcomeStatus::NotRun;
    Failure failure;
    // The command wrote into the settings block: the pages must show it again.
    bool imageChanged = false;

    // The firmware version query: the reader's text, bytes as it sent them.
    std::string versionText;
    // The search for the reader: 0 keyboard line, 1..9 serial port, -1 none found.
    std::int32_t detectedPort = -1;
    // The reset: false when the factory values could not be written to the default file.
    bool defaultFileWritten = true;
    // Programming via RS232 that did not run to its end: the frames the reader acknowledged, of
    // those in the batch. Set for CANCEL and Escape too.
    int framesAcknowledged = 0;
    int framesInBatch = 0;

    bool done() const { return status == OutcomeStatus::Done; }
};

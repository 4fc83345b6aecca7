#pragma once

#include "operations/Outcome.h"

#include <string>

class OperatorMessages;

// Turns the outcome of a device command into the window's message: each command's own text and
// caption, and under a failure its reason in plain words. Escape shows nothing.
class CommandReports {
public:
    enum class Link { Keyboard, Serial };

    // applicationName is the caption of "Load Error" and of the firmware version text.
    CommandReports(OperatorMessages& messages, std::string applicationName);

    void programming(const Outcome& outcome, Link link);
    void readBack(const Outcome& outcome);
    // A failed query shows nothing, unless the command was refused outside RS232 mode.
    void firmwareVersion(const Outcome& outcome);
    void reset(const Outcome& outcome);

private:
    // The refusal of an RS232-only command; true when it was shown.
    bool refusedOutsideRs232(const Outcome& outcome);
    void report(const Outcome& outcome, const char* okText, const char* errorText,
                const std::string& errorCaption);

    OperatorMessages& messages_;
    std::string applicationName_;
};

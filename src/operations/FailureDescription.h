#pragma once

#include "link/Failure.h"

#include <string>

// The words for a failed device command, one table for every kind: the reason in plain words
// with what to do about it (the window's message boxes), the same as a short phrase (a line of
// r550ctl's output, a column of a table), and a stable lower_snake word for scripts.

// The long form. Empty for a failure of kind None.
std::string describeFailure(const Failure& failure);

// The short form: "in use by another program", "no device; looked for /dev/ttyS2".
std::string briefFailure(const Failure& failure);

// The stable word: "in_use", "no_device", "no_permission", ...; empty for kind None.
std::string failureWord(FailureKind kind);

// The port a failure concerns as the operator knows it: "COM3 (/dev/ttyUSB0)", "COM3", or the
// bare device path.
std::string describePort(const Failure& failure);

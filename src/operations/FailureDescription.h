#pragma once

#include "link/Failure.h"

#include <string>

// The reason of a failed device command in plain words, with what to do about it, for the
// window's message boxes and for r550ctl. Empty for a failure of kind None.
std::string describeFailure(const Failure& failure);

// The same reason as a short phrase for a line of r550ctl's output or a column of a table:
// "in use by another program", "no device; looked for /dev/ttyS2".
std::string briefFailure(const Failure& failure);

// The port a failure concerns as the operator knows it: "COM3 (/dev/ttyUSB0)", "COM3", or the
// bare device path.
std::string describePort(const Failure& failure);

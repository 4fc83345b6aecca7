#pragma once

#include "link/PortIo.h"

#include <cstdint>
#include <memory>

class Clock;

// The port-I/O backend for a setting of R550_PORT_IO (the caller passes getenv's answer):
//   unset (nullptr)  real port access (HardwarePortIo);
//   "none"           writes have no effect (NullPortIo);
//   "trace:FILE"     writes are appended to FILE and reach no hardware (TracePortIo), with
//                    times counted from startMs on clock.
// Any other value, "trace:" without a file among them, also selects "none": a mistyped
// setting must not reach real hardware that the user meant to keep away from.
// The trace backend keeps a reference to clock, which must outlive it.
std::unique_ptr<PortIo> makePortIo(const char* setting, const Clock& clock, std::int64_t startMs);

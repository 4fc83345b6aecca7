#pragma once

#include "base/UniqueFd.h"

// How r550-portio keeps to itself: one helper at a time, and nothing held but the port.
class Confinement {
public:
    // Opens (creating it, owned by the caller, mode 0600) and locks the lock file; the lock
    // lasts as long as the descriptor. busy is set when another process holds it.
    static UniqueFd takeLock(const char* path, bool& busy);

    // Once the port is taken: drops the supplementary groups, becomes nobody (when root), gives
    // up every capability, forbids new privileges and leaves only the system calls that serving
    // the caller needs, with the arguments it uses (any other ends the process with SIGSYS).
    // Writes go only to standard output and error and to `traceDescriptor` (the test build's
    // trace; -1 for none). False when any step failed.
    static bool enter(int traceDescriptor = -1);
};

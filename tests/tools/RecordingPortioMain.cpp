// A test build of r550-portio: the same program with its port access replaced by a trace file
// (argv[1]), one line "<ms since start> <port> <byte>" per write, and its lock file named by
// argv[2], so that tests running side by side do not share one. Without a writable trace it has
// no port access and refuses, as the real helper does without root.
#include "PortioHelper.h"
#include "link/SteadyClock.h"
#include "link/TracePortIo.h"

// In a sanitizer build, no leak scan at the end: it needs system calls the confined helper no
// longer has (unused otherwise).
extern "C" const char* __asan_default_options() {
    return "detect_leaks=0";
}

int main(int argc, char** argv) {
    SteadyClock clock;
    TracePortIo io(argc > 1 ? argv[1] : "", clock, clock.nowMilliseconds());
    return PortioHelper::runOnStandardStreams(io, argc > 2 ? argv[2] : "/nonexistent/lock",
                                              io.descriptor());
}

// A test build of r550-portio: the same program with its port access replaced by a trace file
// (argv[1]), one line "<ms since start> <port> <byte>" per write. Without a writable file it
// has no port access and refuses, as the real helper does without root.
#include "PortioHelper.h"
#include "link/SteadyClock.h"
#include "link/TracePortIo.h"

int main(int argc, char** argv) {
    SteadyClock clock;
    TracePortIo io(argc > 1 ? argv[1] : "", clock, clock.nowMilliseconds());
    return PortioHelper::runOnStandardStreams(io);
}

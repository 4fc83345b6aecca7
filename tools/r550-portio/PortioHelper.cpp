#include "PortioHelper.h"

#include "FdHelperChannel.h"
#include "link/PortIo.h"
#include "link/SteadyClock.h"

#include <cstdio>
#include <optional>
#include <unistd.h>

PortioHelper::PortioHelper(PortIo& io, Clock& clock, HelperChannel& channel)
    : io_(io), clock_(clock), channel_(channel) {}

int PortioHelper::run() {
    if (!io_.initialize()) {
        return kNoAccess;
    }
    const int code = serve();
    io_.shutdown();
    return code;
}

int PortioHelper::serve() {
    if (!channel_.send(kReadyLine, sizeof kReadyLine - 1)) {
        return kCallerGone;
    }
    std::optional<std::int64_t> lastWriteMs;
    for (;;) {
        std::uint8_t byte = 0;
        if (channel_.receive(byte, kSilenceLimitMs) != HelperChannel::Input::Byte) {
            return kDone;
        }
        if (lastWriteMs) {
            const std::int64_t since = clock_.nowMilliseconds() - *lastWriteMs;
            if (since < kFloorMs) {
                clock_.sleepMilliseconds(static_cast<int>(kFloorMs - since));
            }
        }
        lastWriteMs = clock_.nowMilliseconds();
        if (!io_.writePort(kPort, byte)) {
            return kWriteFailed;
        }
        if (!channel_.send(&byte, 1)) {
            return kCallerGone;
        }
    }
}

int PortioHelper::runOnStandardStreams(PortIo& io) {
    SteadyClock clock;
    FdHelperChannel channel(STDIN_FILENO, STDOUT_FILENO);
    const int code = PortioHelper(io, clock, channel).run();
    if (code == kNoAccess) {
        std::fputs("r550-portio: no access to I/O port 0x60; it needs root (run it through "
                   "pkexec)\n",
                   stderr);
    }
    return code;
}

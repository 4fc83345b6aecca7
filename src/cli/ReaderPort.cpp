#include "cli/ReaderPort.h"

#include <sys/ioctl.h>
#include <utility>

ReaderPort::ReaderPort(const PortMap& map, PortSpec spec) : spec_(std::move(spec)), link_(map) {}

bool ReaderPort::open(int /*portNumber*/) {
    const bool opened =
        spec_.portNumber() != 0 ? link_.open(spec_.portNumber()) : link_.openDevice(spec_.device());
    if (opened) {
        ++opens_;
    }
    return opened;
}

Failure ReaderPort::lastFailure() const {
    Failure failure = link_.lastFailure();
    // A device given by its path is no COMn, whatever number the engine opened it as.
    failure.port = spec_.portNumber();
    return failure;
}

int ReaderPort::waiting() const {
    if (!link_.isOpen()) {
        return 0;
    }
    int count = 0;
    if (::ioctl(link_.descriptor(), FIONREAD, &count) != 0) {
        return -1;
    }
    return count;
}

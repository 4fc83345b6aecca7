#include "cli/ReaderPort.h"

#include <sys/ioctl.h>
#include <utility>

ReaderPort::ReaderPort(const PortMap& map, PortName portName)
    : portName_(std::move(portName)), link_(map) {}

bool ReaderPort::open(int /*portNumber*/) {
    const bool opened = portName_.portNumber() != 0 ? link_.open(portName_.portNumber())
                                                    : link_.openDevice(portName_.device());
    if (opened) {
        ++opens_;
    }
    return opened;
}

Failure ReaderPort::lastFailure() const {
    Failure failure = link_.lastFailure();
    // A device given by its path is no COMn, whatever number the engine opened it as.
    failure.port = portName_.portNumber();
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

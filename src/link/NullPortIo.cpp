#include "link/NullPortIo.h"

bool NullPortIo::initialize() {
    return access_ == PortAccess::Granted;
}

void NullPortIo::shutdown() {}

bool NullPortIo::installDriver() {
    return true;
}

bool NullPortIo::removeDriver() {
    return true;
}

bool NullPortIo::writePort(std::uint16_t /*port*/, std::uint8_t /*value*/) {
    return access_ == PortAccess::Granted;
}

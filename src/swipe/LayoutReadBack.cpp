#include "swipe/LayoutReadBack.h"

#include "operations/DeviceTransaction.h"

LayoutReadBack::LayoutReadBack(const PortMap& map, const PortName& port, const SettingsImage& base)
    : port_(port), session_(map, port, clock_, noKeyboard_, Pace::Reader, {}), image_(base) {}

void LayoutReadBack::start() {
    session_.run(
        DeviceTransaction::loadMainSettings(port_), "reading",
        [this](const Outcome& outcome) {
            outcome_ = outcome;
            finished_ = true;
        },
        &image_);
}

#pragma once

#include "link/KeyboardPortLink.h"
#include "link/TransferEngine.h"
#include "support/FakeClock.h"
#include "support/FakeSerialPort.h"
#include "support/RecordingPortIo.h"

// The transfer engine on its fakes: a fake clock, a scripted serial port and recording port
// I/O behind the keyboard line. Fixtures that drive the engine (or a window on it) themselves
// derive from it.
struct EngineRig {
    FakeClock clock;
    FakeSerialPort serial;
    RecordingPortIo io{clock};
    KeyboardPortLink keyboard{io, clock};
    TransferEngine engine{clock, serial, keyboard};
};

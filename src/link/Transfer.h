#pragma once

#include "link/Failure.h"
#include "link/FrameBatch.h"
#include "link/PortName.h"

#include <cstdint>
#include <filesystem>

// Transaction modes of the transfer window. Other values are carried as they are; a run in such
// a mode moves its bar until the operator closes the window.
enum class TransferMode : std::int32_t {
    AutoDetect = 1,    // keyboard probe, then serial ports 1..9
    Exchange = 2,      // serial batch with replies, or one keyboard frame when port is 0
    KeyboardBatch = 3, // the whole batch on the keyboard-controller port
};

// How a transaction's window ended.
enum class EndCode : int {
    Running = 0,
    Ended = 1,  // every ending of the transaction itself, CANCEL and Enter among them
    Escape = 2, // the operator pressed Escape or closed the window
};

// What a device command hands to a transaction and reads back from it: the mode, the port
// (input of Exchange; output of AutoDetect: 0 keyboard line, n COMn, -1 none, or a serial device
// known by its path alone), the batch, and why it failed when it did.
struct Transfer {
    static constexpr std::int32_t kKeyboardLine = 0;
    static constexpr std::int32_t kNoPort = -1;
    // The port is the serial device at `device`, which has no COM number.
    static constexpr std::int32_t kDevicePath = -2;

    TransferMode mode = TransferMode{0};
    std::int32_t port = kNoPort;
    std::filesystem::path device; // when port is kDevicePath
    FrameBatch batch;
    Failure failure;

    // The serial port that `port` (and `device`) name.
    PortName serialPort() const {
        return port == kDevicePath ? PortName::path(device) : PortName::number(port);
    }
    void setSerialPort(const PortName& serial) {
        port = serial.portNumber() != 0 ? serial.portNumber() : kDevicePath;
        device = serial.portNumber() != 0 ? std::filesystem::path() : serial.device();
    }
};

#pragma once

#include "link/Failure.h"
#include "link/FrameBatch.h"

#include <cstdint>

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
// (input of Exchange; output of AutoDetect: 0 keyboard line, 1..9 serial, -1 none), the batch,
// and why it failed when it did.
struct Transfer {
    static constexpr std::int32_t kKeyboardLine = 0;
    static constexpr std::int32_t kNoPort = -1;

    TransferMode mode = TransferMode{0};
    std::int32_t port = kNoPort;
    FrameBatch batch;
    Failure failure;
};

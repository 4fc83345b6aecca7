#pragma once

#include "link/FrameBatch.h"

#include <cstdint>

// Transaction modes of the transfer window.
enum TransferMode : std::int32_t {
    AutoDetect = 1,    // keyboard probe, then serial ports 1..9
    Exchange = 2,      // serial batch with replies, or one keyboard frame when port is 0
    KeyboardBatch = 3, // the whole batch on the keyboard-controller port
};

// What a device command hands to a transaction and reads back from it: the mode, the port
// (input of Exchange; output of AutoDetect: 0 keyboard line, 1..9 serial, -1 none) and the batch.
struct Transfer {
    std::int32_t mode = 0;
    std::int32_t port = -1;
    FrameBatch batch;
};

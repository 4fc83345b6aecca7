#pragma once

#include <cstddef>
#include <cstdint>

// The helper's line to the program that started it: bytes come in one at a time, answers go
// out. Replaced by a scripted channel in the tests.
class HelperChannel {
public:
    enum class Input {
        Byte,    // a byte arrived
        End,     // the caller closed its side
        Silence, // nothing arrived within the time limit
    };

    virtual ~HelperChannel() = default;
    // Waits at most timeoutMs for the next byte.
    virtual Input receive(std::uint8_t& byte, int timeoutMs) = 0;
    // False when the caller can no longer be reached.
    virtual bool send(const void* data, std::size_t size) = 0;
};

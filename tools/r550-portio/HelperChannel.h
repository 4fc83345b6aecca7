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
        Gone,    // the caller vanished with answers unread
        Silence, // nothing arrived within the time limit
        Error,   // the line could not be read
    };
    enum class Output {
        Sent,
        Gone,    // the caller's side is closed
        Stalled, // the caller stopped reading: the answer found no room within the time limit
    };

    virtual ~HelperChannel() = default;
    // Waits at most timeoutMs for the next byte.
    virtual Input receive(std::uint8_t& byte, int timeoutMs) = 0;
    // Sends the whole answer within the channel's own time limit.
    virtual Output send(const void* data, std::size_t size) = 0;
};

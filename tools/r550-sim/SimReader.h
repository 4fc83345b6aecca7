#pragma once

#include "SimMemory.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Ways to make the simulated reader misbehave. They change only what goes back to the tool:
// every complete frame is still logged and still acts on the memory.
struct SimFaults {
    bool silent = false;         // answers nothing at all
    bool wrongAck = false;       // acknowledgement ends 0x01 0xAB
    bool wrongLength = false;    // block reply announces and sends one byte more than asked
    bool stallAfterEcho = false; // sends only the first echo byte 0x1B of each reply
    bool noProbeAnswer = false;  // gives no answer to the serial probe 1B 00
};

// The reader on RS232 as the tool sees it: fed the bytes that arrive, in pieces of any size, it
// cuts them into command frames and gives back the reply bytes. No I/O.
class SimReader {
public:
    static constexpr std::uint8_t kEscape = 0x1B;
    static constexpr std::uint8_t kSerialProbe = 0x00;
    static constexpr std::uint8_t kFirmwareVersion = 0x01;
    static constexpr std::uint8_t kReadBlock = 0x1C;
    static constexpr std::uint8_t kWriteBlock = 0x1D;
    static constexpr std::uint8_t kFactoryReset = 0x21;
    // A counted reply carries its length in one byte, and the tool keeps the text in a 255-byte
    // slot that must still hold the terminating zero.
    static constexpr std::size_t kMaxVersionLength = 254;

    // What one feed produced.
    struct Outcome {
        std::vector<std::uint8_t> reply;               // bytes to send back, in order
        std::vector<std::vector<std::uint8_t>> frames; // every frame completed by this feed
        bool memoryWritten = false;                    // a write block or a reset was handled
    };

    // A version text longer than kMaxVersionLength is cut to that length.
    explicit SimReader(SimMemory memory = SimMemory::factory(), std::string version = "V1.00",
                       SimFaults faults = {});

    Outcome feed(std::span<const std::uint8_t> bytes);

    // Bytes of a frame that has begun but is not complete yet.
    bool hasPartialFrame() const { return !pending_.empty(); }
    // Forgets the incomplete frame (a sender that gave up half-way) and returns its bytes, so
    // the next 0x1B starts a new frame instead of being taken as payload.
    std::vector<std::uint8_t> dropPartialFrame();

    const SimMemory& memory() const { return memory_; }

    // One line of the frame log: the bytes in upper-case hex separated by spaces, and '\n'.
    static std::string logLine(std::span<const std::uint8_t> frame);

private:
    // Length of the frame in pending_, or 0 while the bytes so far do not tell it yet.
    std::size_t expectedLength() const;
    void handleFrame(const std::vector<std::uint8_t>& frame, Outcome& outcome);
    void sendReply(const std::vector<std::uint8_t>& reply, Outcome& outcome) const;

    SimMemory memory_;
    std::string version_;
    SimFaults faults_;
    std::vector<std::uint8_t> pending_;
};

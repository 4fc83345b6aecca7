// The simulator's frame parser fed arbitrary bytes in arbitrary pieces: it must never read or
// write outside its memory, and every reply it gives must start with the echo of a frame.
#include "SimReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    SimFaults faults;
    faults.wrongAck = (data[0] & 0x01) != 0;
    faults.wrongLength = (data[0] & 0x02) != 0;
    faults.stallAfterEcho = (data[0] & 0x04) != 0;
    faults.noProbeAnswer = (data[0] & 0x08) != 0;
    SimReader reader(SimMemory::factory(), "V1.00", faults);

    // The low nibble of each control byte gives the length of the next piece.
    std::size_t at = 1;
    while (at < size) {
        const std::size_t piece = (data[at] & 0x0F) + 1;
        ++at;
        const std::size_t n = piece < size - at ? piece : size - at;
        const SimReader::Outcome outcome = reader.feed(std::span<const std::uint8_t>(data + at, n));
        if (!outcome.reply.empty() && outcome.reply.front() != SimReader::kEscape) {
            std::abort();
        }
        for (const auto& frame : outcome.frames) {
            if (frame.size() < 2 || frame.front() != SimReader::kEscape) {
                std::abort();
            }
        }
        at += n;
        if (at < size && (data[at - 1] & 0x80) != 0) {
            reader.dropPartialFrame();
        }
    }
    return 0;
}

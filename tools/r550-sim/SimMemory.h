#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The simulated reader's setting memory: group 0xC0 holds byte parameters at sub-codes
// 0x00..0x08 and 0x10..0x13, group 0xC1 eight strings of eight bytes at sub-codes 0x10..0x4F.
// Every other address reads as 0x00 and ignores writes.
class SimMemory {
public:
    static constexpr std::uint8_t kByteGroup = 0xC0;
    static constexpr std::uint8_t kStringGroup = 0xC1;
    // Group 0xC0 is kept from sub-code 0x00 to 0x13 (0x09..0x0F stay zero), group 0xC1 from 0x10.
    static constexpr int kByteTableSize = 0x14;
    static constexpr int kStringTableBase = 0x10;
    static constexpr int kStringTableSize = 0x40;

    // All zero.
    SimMemory() = default;
    // The reader as it leaves the factory.
    static SimMemory factory();

    // `address` is the sub-code; an int because a block may run past 0xFF.
    std::uint8_t read(std::uint8_t group, int address) const;
    void write(std::uint8_t group, int address, std::uint8_t value);

    // Two lines, "C0 " and the 20 bytes of 0x00..0x13, then "C1 " and the 64 bytes of 0x10..0x4F,
    // in upper-case hex separated by spaces, each line ending in '\n'.
    std::string toText() const;
    // The reverse of toText: both lines, in either order, with exactly their byte counts; blank
    // lines and a '\r' before the line end are accepted. Anything else gives no memory.
    static std::optional<SimMemory> fromText(std::string_view text);

    bool operator==(const SimMemory&) const = default;

private:
    static bool isByteParameter(int address);
    static bool isStringByte(int address);

    std::array<std::uint8_t, kByteTableSize> byteParameters_{};
    std::array<std::uint8_t, kStringTableSize> strings_{};
};

#pragma once

#include <cstdint>

// Where the reader keeps the settings of the block, as the programming and read-back frames
// address them: byte parameters in group 0xC0, the eight code lists in group 0xC1, eight bytes
// each (the count and seven codes).
namespace ReaderMemoryMap {

inline constexpr std::uint8_t kByteGroup = 0xC0;
inline constexpr std::uint8_t kStringGroup = 0xC1;

// A run of byte parameters: data byte 0 of `count` consecutive slots from `firstSlot`, at
// consecutive sub-codes from `subCode`.
struct ByteParameters {
    std::uint8_t subCode;
    int firstSlot;
    int count;
};
// Sub-codes 0x00..0x08: general flags, the two delays, baud code, parameter 4, the three track
// flags and the MSR flags (slots 10..18).
inline constexpr ByteParameters kLowParameters{0x00, 10, 9};
// Sub-codes 0x10..0x13: the three ISO flags and parameter 0x13 (slots 20..23).
inline constexpr ByteParameters kHighParameters{0x10, 20, 4};

// The code lists of slots 24..31 (MSR prefix and suffix, then prefix and suffix of each track)
// at sub-codes 0x10, 0x18, ... 0x48.
inline constexpr int kFirstStringSlot = 24;
inline constexpr int kStrings = 8;
inline constexpr int kStringBytes = 8;
inline constexpr std::uint8_t kFirstStringSubCode = 0x10;

} // namespace ReaderMemoryMap

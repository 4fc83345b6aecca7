#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The 3060-byte settings block. Three parallel arrays of 255 record slots: the group byte of
// slot k at k, its sub-code at 0x0FF + k and its ten data bytes at 0x1FE + 10·k. The same bytes,
// in the same order, are a configuration file. Nothing here validates values: any block is
// accepted and carried as it stands. The settings the pages show are read and written by name
// through SettingTable.
class SettingsImage {
public:
    static constexpr std::size_t kSize = 3060;
    static constexpr int kSlots = 255;
    static constexpr int kDataBytes = 10;
    static constexpr std::size_t kGroupBase = 0x000;
    static constexpr std::size_t kSubcodeBase = 0x0FF;
    static constexpr std::size_t kDataBase = 0x1FE;
    // A string record holds a count and at most this many codes.
    static constexpr int kMaxCodes = 7;

    SettingsImage() = default;

    std::array<std::uint8_t, kSize>& raw() { return bytes_; }
    const std::array<std::uint8_t, kSize>& raw() const { return bytes_; }
    std::uint8_t& at(std::size_t offset) { return bytes_.at(offset); }
    std::uint8_t at(std::size_t offset) const { return bytes_.at(offset); }

    // Slot access; k is 0..254.
    std::uint8_t& group(int slot) { return bytes_.at(kGroupBase + index(slot)); }
    std::uint8_t group(int slot) const { return bytes_.at(kGroupBase + index(slot)); }
    std::uint8_t& subcode(int slot) { return bytes_.at(kSubcodeBase + index(slot)); }
    std::uint8_t subcode(int slot) const { return bytes_.at(kSubcodeBase + index(slot)); }
    std::uint8_t* data(int slot) { return bytes_.data() + dataOffset(slot); }
    const std::uint8_t* data(int slot) const { return bytes_.data() + dataOffset(slot); }
    static std::size_t dataOffset(int slot) { return kDataBase + kDataBytes * index(slot); }

private:
    // Out-of-range indices are clamped so that no accessor can reach outside the block.
    static std::size_t index(int slot) {
        return static_cast<std::size_t>(slot < 0 ? 0 : (slot >= kSlots ? kSlots - 1 : slot));
    }

    std::array<std::uint8_t, kSize> bytes_{};
};

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The 3060-byte settings block. Three parallel arrays of 255 record slots: the group byte of
// slot k at k, its sub-code at 0x0FF + k and its ten data bytes at 0x1FE + 10·k. The same bytes,
// in the same order, are a configuration file. Nothing here validates values: any block is
// accepted and carried as it stands.
class SettingsImage {
public:
    static constexpr std::size_t kSize = 3060;
    static constexpr int kSlots = 255;
    static constexpr int kDataBytes = 10;
    static constexpr std::size_t kGroupBase = 0x000;
    static constexpr std::size_t kSubcodeBase = 0x0FF;
    static constexpr std::size_t kDataBase = 0x1FE;
    static constexpr std::size_t kOperatingModeOffset = 0x064;
    static constexpr std::size_t kComPortOffset = 0x163;

    // Record slots of the reader's settings.
    static constexpr int kGeneralFlagsSlot = 10;
    static constexpr int kScanCodeDelaySlot = 11;
    static constexpr int kCharCodeDelaySlot = 12;
    static constexpr int kBaudCodeSlot = 13;
    static constexpr int kParam04Slot = 14;
    static constexpr int kTrackFlagsSlot = 15; // + track - 1
    static constexpr int kMsrFlagsSlot = 18;
    static constexpr int kIsoFlagsSlot = 20; // + track - 1
    static constexpr int kParam13Slot = 23;
    static constexpr int kMsrPrefixSlot = 24;
    static constexpr int kMsrSuffixSlot = 25;
    static constexpr int kTrackPrefixSlot = 26; // + 2 · (track - 1); suffix follows

    // A string record holds a count and at most this many codes.
    static constexpr int kMaxCodes = 7;

    // operating_mode values.
    static constexpr std::uint8_t kModeKeyboardWedge = 0;
    static constexpr std::uint8_t kModeRs232 = 1;
    static constexpr std::uint8_t kModeNotFound = 3;
    static constexpr std::uint8_t kUnknown = 0xFF;

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

    // Link settings of the Main Settings page.
    std::uint8_t& operating_mode() { return bytes_[kOperatingModeOffset]; }
    std::uint8_t operating_mode() const { return bytes_[kOperatingModeOffset]; }
    std::uint8_t& com_port() { return bytes_[kComPortOffset]; }
    std::uint8_t com_port() const { return bytes_[kComPortOffset]; }

    // Byte parameters (data byte 0 of their slot). Tracks are 1..3.
    std::uint8_t& general_flags() { return data(kGeneralFlagsSlot)[0]; }
    std::uint8_t& scan_code_delay() { return data(kScanCodeDelaySlot)[0]; }
    std::uint8_t& char_code_delay() { return data(kCharCodeDelaySlot)[0]; }
    std::uint8_t& baud_code() { return data(kBaudCodeSlot)[0]; }
    std::uint8_t& param_04() { return data(kParam04Slot)[0]; }
    std::uint8_t& track_flags(int track) { return data(kTrackFlagsSlot + trackIndex(track))[0]; }
    std::uint8_t& msr_flags() { return data(kMsrFlagsSlot)[0]; }
    std::uint8_t& iso_flags(int track) { return data(kIsoFlagsSlot + trackIndex(track))[0]; }
    std::uint8_t& param_13() { return data(kParam13Slot)[0]; }

    // String records: data byte 0 is the count, bytes 1..7 the codes.
    std::uint8_t* msr_prefix() { return data(kMsrPrefixSlot); }
    std::uint8_t* msr_suffix() { return data(kMsrSuffixSlot); }
    std::uint8_t* track_prefix(int track) { return data(kTrackPrefixSlot + 2 * trackIndex(track)); }
    std::uint8_t* track_suffix(int track) {
        return data(kTrackPrefixSlot + 2 * trackIndex(track) + 1);
    }
    // The code lists of an MSR page p (1 = MSR Main Settings, 2..4 = MSR Track 1..3): the
    // prefix record at 0x2DA + 20·p and the suffix record at 0x2E4 + 20·p.
    std::uint8_t* pagePrefix(int page) { return bytes_.data() + 0x2DA + 20 * pageIndex(page); }
    std::uint8_t* pageSuffix(int page) { return bytes_.data() + 0x2E4 + 20 * pageIndex(page); }
    const std::uint8_t* pagePrefix(int page) const {
        return bytes_.data() + 0x2DA + 20 * pageIndex(page);
    }
    const std::uint8_t* pageSuffix(int page) const {
        return bytes_.data() + 0x2E4 + 20 * pageIndex(page);
    }

private:
    // Out-of-range indices are clamped so that no accessor can reach outside the block.
    static std::size_t index(int slot) {
        return static_cast<std::size_t>(slot < 0 ? 0 : (slot >= kSlots ? kSlots - 1 : slot));
    }
    static int trackIndex(int track) { return track < 1 ? 0 : (track > 3 ? 2 : track - 1); }
    static std::size_t pageIndex(int page) {
        return static_cast<std::size_t>(page < 1 ? 1 : (page > 4 ? 4 : page));
    }

    std::array<std::uint8_t, kSize> bytes_{};
};

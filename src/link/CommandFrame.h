#pragma once

#include <array>
#include <cstdint>
#include <vector>

struct FrameBatch;

// Command codes the tool sends.
namespace Command {
inline constexpr std::uint8_t kEscape = 0x1B;
inline constexpr std::uint8_t kSerialProbe = 0x00;
inline constexpr std::uint8_t kFirmwareVersion = 0x01;
inline constexpr std::uint8_t kKeyboardProbe = 0x05;
inline constexpr std::uint8_t kReadBlock = 0x1C;
inline constexpr std::uint8_t kWriteBlock = 0x1D;
inline constexpr std::uint8_t kFactoryReset = 0x21;
inline constexpr std::uint8_t kBatchClose = 0x30;
} // namespace Command

// What follows the two echo bytes of a serial reply, decided by the echoed command code.
enum class ReplyKind {
    Block,           // 0x1C: two unexamined bytes, length L, L data bytes
    Acknowledgement, // 0x1D: two unexamined bytes, 0x01, 0xAA
    Counted,         // any other: length N, N data bytes
};
ReplyKind classifyReply(std::uint8_t echoedCode);

// One command as sent on the serial link: escape, command, and for block commands group,
// sub-code, length and payload. At most 255 bytes.
class CommandFrame {
public:
    static constexpr int kMaxLength = 255;

    static CommandFrame serialProbe();
    static CommandFrame firmwareVersion();
    static CommandFrame factoryReset();
    static CommandFrame keyboardProbe();
    static CommandFrame readBlock(std::uint8_t group, std::uint8_t subCode, std::uint8_t length);
    // A write block of `length` payload bytes (at most 250, the room left by the header).
    static CommandFrame writeBlock(std::uint8_t group, std::uint8_t subCode,
                                   const std::uint8_t* payload, int length);

    const std::uint8_t* bytes() const { return bytes_.data(); }
    int length() const { return length_; }

    // Clears slot `index` of the batch, copies the frame into it and sets its length.
    void putInto(FrameBatch& batch, int index) const;

private:
    CommandFrame() = default;
    void append(std::uint8_t byte);

    std::array<std::uint8_t, kMaxLength> bytes_{};
    int length_ = 0;
};

// XOR of the bytes, starting from 0: the checksum of a slot on the keyboard-controller port.
std::uint8_t checksum(const std::uint8_t* bytes, int n);

// The port bytes that carry one value on the keyboard-controller port: values above 0xE0 go as
// 0xE0 and the value minus 0xE0, every other value (0xE0 included) as itself. Appends to `out`.
void encode(std::uint8_t value, std::vector<std::uint8_t>& out);

// Port-byte sequences of the keyboard-controller port, as plain data. Pacing is the link's.
namespace KeyboardSequence {
// 0x1B 0x05 0x1E.
std::vector<std::uint8_t> probe();
// 0x1B, bytes 1..length-1 escaped, the escaped checksum of bytes 0..length-1 (byte 0 is always
// sent as 0x1B). A frame of length 1 or less is 0x1B and the checksum 0x1B.
std::vector<std::uint8_t> singleFrame(const std::uint8_t* frame, int length);
// One batch entry: its bytes escaped, then its escaped checksum.
std::vector<std::uint8_t> batchEntry(const std::uint8_t* entry, int length);
} // namespace KeyboardSequence

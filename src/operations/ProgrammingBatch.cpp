#include "operations/ProgrammingBatch.h"

#include "link/CommandFrame.h"
#include "link/FrameBatch.h"
#include "settings/SettingsImage.h"

#include <array>
#include <cstdint>

namespace {

constexpr std::uint8_t kByteGroup = 0xC0;
constexpr std::uint8_t kStringGroup = 0xC1;
constexpr int kStringBytes = 8; // the length byte and seven codes, as the reader stores them

// Slots that the keyboard batch sends, in order.
constexpr std::array<int, ProgrammingBatch::kKeyboardEntries> kKeyboardSlots{
    10, 11, 12, 13, 14, 15, 16, 17, 18, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31};

bool isStringSlot(int slot) {
    return slot >= SettingsImage::kMsrPrefixSlot;
}

// Data byte 0 of `count` consecutive byte-parameter slots from `firstSlot`.
template <std::size_t N>
std::array<std::uint8_t, N> byteParameters(const SettingsImage& image, int firstSlot) {
    std::array<std::uint8_t, N> values{};
    for (std::size_t i = 0; i < N; ++i) {
        values[i] = image.data(firstSlot + static_cast<int>(i))[0];
    }
    return values;
}

// The eight bytes of two consecutive string slots, one after the other.
std::array<std::uint8_t, 2 * kStringBytes> stringPair(const SettingsImage& image, int firstSlot) {
    std::array<std::uint8_t, 2 * kStringBytes> values{};
    for (int s = 0; s < 2; ++s) {
        const std::uint8_t* record = image.data(firstSlot + s);
        for (int i = 0; i < kStringBytes; ++i) {
            values[static_cast<std::size_t>(s * kStringBytes + i)] = record[i];
        }
    }
    return values;
}

} // namespace

void ProgrammingBatch::fillKeyboard(const SettingsImage& image, FrameBatch& batch) {
    for (int entry = 0; entry < kKeyboardEntries; ++entry) {
        const int slot = kKeyboardSlots[static_cast<std::size_t>(entry)];
        const int payload = isStringSlot(slot) ? kStringBytes : 1;
        auto& frame = batch.frames[static_cast<std::size_t>(entry)];
        frame.fill(0);
        frame[0] = image.group(slot);
        frame[1] = image.subcode(slot);
        frame[2] = static_cast<std::uint8_t>(payload);
        const std::uint8_t* data = image.data(slot);
        for (int i = 0; i < payload; ++i) {
            frame[static_cast<std::size_t>(3 + i)] = data[i];
        }
        batch.lengths[static_cast<std::size_t>(entry)] = 3 + payload;
    }
    batch.count = kKeyboardEntries;
}

void ProgrammingBatch::fillSerial(const SettingsImage& image, FrameBatch& batch) {
    const auto low = byteParameters<9>(image, SettingsImage::kGeneralFlagsSlot);
    CommandFrame::writeBlock(kByteGroup, 0x00, low.data(), static_cast<int>(low.size()))
        .putInto(batch, 0);

    for (int pair = 0; pair < 4; ++pair) {
        const auto strings = stringPair(image, SettingsImage::kMsrPrefixSlot + 2 * pair);
        const auto subCode = static_cast<std::uint8_t>(0x10 + 0x10 * pair);
        CommandFrame::writeBlock(kStringGroup, subCode, strings.data(),
                                 static_cast<int>(strings.size()))
            .putInto(batch, 1 + pair);
    }

    const auto high = byteParameters<4>(image, SettingsImage::kIsoFlagsSlot);
    CommandFrame::writeBlock(kByteGroup, 0x10, high.data(), static_cast<int>(high.size()))
        .putInto(batch, 5);

    batch.count = kSerialFrames;
}

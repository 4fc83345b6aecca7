#include "operations/ProgrammingBatch.h"

#include "link/CommandFrame.h"
#include "link/FrameBatch.h"
#include "operations/ReaderMemoryMap.h"
#include "settings/SettingsImage.h"

#include <array>
#include <cstdint>

namespace {

using ReaderMemoryMap::kStringBytes;

// Slots that the keyboard batch sends, in order.
constexpr std::array<int, ProgrammingBatch::kKeyboardEntries> kKeyboardSlots{
    10, 11, 12, 13, 14, 15, 16, 17, 18, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31};

bool isStringSlot(int slot) {
    return slot >= ReaderMemoryMap::kFirstStringSlot;
}

// The write block of a run of byte parameters, into slot `index` of the batch.
void putByteParameters(const SettingsImage& image, const ReaderMemoryMap::ByteParameters& run,
                       FrameBatch& batch, int index) {
    std::array<std::uint8_t, SettingsImage::kSlots> values{};
    for (int i = 0; i < run.count; ++i) {
        values[static_cast<std::size_t>(i)] = image.data(run.firstSlot + i)[0];
    }
    CommandFrame::writeBlock(ReaderMemoryMap::kByteGroup, run.subCode, values.data(), run.count)
        .putInto(batch, index);
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
    putByteParameters(image, ReaderMemoryMap::kLowParameters, batch, 0);

    for (int pair = 0; pair < ReaderMemoryMap::kStrings / 2; ++pair) {
        const auto strings = stringPair(image, ReaderMemoryMap::kFirstStringSlot + 2 * pair);
        const auto subCode = static_cast<std::uint8_t>(ReaderMemoryMap::kFirstStringSubCode +
                                                       2 * kStringBytes * pair);
        CommandFrame::writeBlock(ReaderMemoryMap::kStringGroup, subCode, strings.data(),
                                 static_cast<int>(strings.size()))
            .putInto(batch, 1 + pair);
    }

    putByteParameters(image, ReaderMemoryMap::kHighParameters, batch, 5);

    batch.count = kSerialFrames;
}

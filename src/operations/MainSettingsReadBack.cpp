#include "operations/MainSettingsReadBack.h"

#include "link/CommandFrame.h"
#include "link/FrameBatch.h"
#include "operations/ReaderMemoryMap.h"
#include "settings/SettingsImage.h"

#include <algorithm>
#include <cstdint>

namespace {

using ReaderMemoryMap::kStringBytes;
using ReaderMemoryMap::kStrings;

CommandFrame readByteParameters(const ReaderMemoryMap::ByteParameters& run) {
    return CommandFrame::readBlock(ReaderMemoryMap::kByteGroup, run.subCode,
                                   static_cast<std::uint8_t>(run.count));
}

void applyByteParameters(const FrameBatch::Slot& reply, const ReaderMemoryMap::ByteParameters& run,
                         SettingsImage& image) {
    for (int i = 0; i < run.count; ++i) {
        image.data(run.firstSlot + i)[0] = reply[static_cast<std::size_t>(i)];
    }
}

} // namespace

void MainSettingsReadBack::fill(FrameBatch& batch) {
    readByteParameters(ReaderMemoryMap::kLowParameters).putInto(batch, 0);
    CommandFrame::readBlock(ReaderMemoryMap::kStringGroup, ReaderMemoryMap::kFirstStringSubCode,
                            kStrings * kStringBytes)
        .putInto(batch, 1);
    readByteParameters(ReaderMemoryMap::kHighParameters).putInto(batch, 2);
    batch.count = kFrames;
}

void MainSettingsReadBack::apply(const FrameBatch& batch, SettingsImage& image) {
    applyByteParameters(batch.replies[0], ReaderMemoryMap::kLowParameters, image);

    const auto& strings = batch.replies[1];
    for (int s = 0; s < kStrings; ++s) {
        const std::uint8_t* group = strings.data() + s * kStringBytes;
        std::uint8_t* record = image.data(ReaderMemoryMap::kFirstStringSlot + s);
        // The length byte is kept as the reader sent it, but a record holds seven codes and a
        // group carries no more, so a larger length copies only those seven.
        const int codes = std::min<int>(group[0], SettingsImage::kMaxCodes);
        std::copy_n(group, 1 + codes, record);
    }

    applyByteParameters(batch.replies[2], ReaderMemoryMap::kHighParameters, image);
}

#include "operations/MainSettingsReadBack.h"

#include "link/CommandFrame.h"
#include "link/FrameBatch.h"
#include "settings/SettingsImage.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr int kLowParameters = 9;
constexpr int kHighParameters = 4;
constexpr int kStrings = 8;
constexpr int kStringBytes = 8;

} // namespace

void MainSettingsReadBack::fill(FrameBatch& batch) {
    CommandFrame::readBlock(0xC0, 0x00, kLowParameters).putInto(batch, 0);
    CommandFrame::readBlock(0xC1, 0x10, kStrings * kStringBytes).putInto(batch, 1);
    CommandFrame::readBlock(0xC0, 0x10, kHighParameters).putInto(batch, 2);
    batch.count = kFrames;
}

void MainSettingsReadBack::apply(const FrameBatch& batch, SettingsImage& image) {
    const auto& low = batch.replies[0];
    for (int i = 0; i < kLowParameters; ++i) {
        image.data(SettingsImage::kGeneralFlagsSlot + i)[0] = low[static_cast<std::size_t>(i)];
    }

    const auto& strings = batch.replies[1];
    for (int s = 0; s < kStrings; ++s) {
        const std::uint8_t* group = strings.data() + s * kStringBytes;
        std::uint8_t* record = image.data(SettingsImage::kMsrPrefixSlot + s);
        // The length byte is kept as the reader sent it, but a record holds seven codes and a
        // group carries no more, so a larger length copies only those seven.
        const int codes = std::min<int>(group[0], SettingsImage::kMaxCodes);
        std::copy_n(group, 1 + codes, record);
    }

    const auto& high = batch.replies[2];
    for (int i = 0; i < kHighParameters; ++i) {
        image.data(SettingsImage::kIsoFlagsSlot + i)[0] = high[static_cast<std::size_t>(i)];
    }
}

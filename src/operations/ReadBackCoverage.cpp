#include "operations/ReadBackCoverage.h"

#include "operations/ReaderMemoryMap.h"
#include "settings/SettingTable.h"
#include "settings/SettingText.h"
#include "settings/SettingsImage.h"

#include <array>
#include <cstddef>

namespace {

using Offsets = std::array<bool, SettingsImage::kSize>;

void markByteParameters(Offsets& covered, const ReaderMemoryMap::ByteParameters& run) {
    for (int i = 0; i < run.count; ++i) {
        covered[SettingsImage::dataOffset(run.firstSlot + i)] = true;
    }
}

// The block offsets that a read-back writes, as MainSettingsReadBack puts the replies in.
Offsets coveredOffsets() {
    Offsets covered{};
    markByteParameters(covered, ReaderMemoryMap::kLowParameters);
    markByteParameters(covered, ReaderMemoryMap::kHighParameters);
    for (int s = 0; s < ReaderMemoryMap::kStrings; ++s) {
        const std::size_t first = SettingsImage::dataOffset(ReaderMemoryMap::kFirstStringSlot + s);
        for (int b = 0; b < ReaderMemoryMap::kStringBytes; ++b) {
            covered[first + static_cast<std::size_t>(b)] = true;
        }
    }
    return covered;
}

// A code list is read from its count and its seven codes; any other setting from one byte.
std::size_t bytesOf(const NamedSetting& setting) {
    return setting.kind == SettingKind::CodeList ? 1 + SettingsImage::kMaxCodes : 1;
}

} // namespace

bool ReadBackCoverage::covers(const NamedSetting& setting) {
    static const Offsets covered = coveredOffsets();
    for (std::size_t i = 0; i < bytesOf(setting); ++i) {
        const std::size_t offset = setting.offset + i;
        if (offset >= covered.size() || !covered[offset]) {
            return false;
        }
    }
    return true;
}

std::vector<const NamedSetting*> ReadBackCoverage::settings() {
    std::vector<const NamedSetting*> covered;
    for (const NamedSetting& setting : SettingTable::all()) {
        if (covers(setting)) {
            covered.push_back(&setting);
        }
    }
    return covered;
}

std::vector<SettingDifference> ReadBackCoverage::differences(const SettingsImage& file,
                                                             const SettingsImage& reader) {
    std::vector<SettingDifference> found;
    for (const NamedSetting* setting : settings()) {
        std::string inFile = settingText(*setting, file);
        std::string inReader = settingText(*setting, reader);
        if (inFile != inReader) {
            found.push_back({setting, std::move(inFile), std::move(inReader)});
        }
    }
    return found;
}

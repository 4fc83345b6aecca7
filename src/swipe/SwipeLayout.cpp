#include "swipe/SwipeLayout.h"

#include "settings/CodeList.h"
#include "settings/SettingTable.h"
#include "settings/SettingsImage.h"

#include <algorithm>
#include <string>

namespace {

bool flagOf(const SettingsImage& image, const std::string& name) {
    const NamedSetting* setting = SettingTable::find(name);
    return setting != nullptr && (image.at(setting->offset) & setting->mask) != 0;
}

std::vector<std::uint8_t> codesOf(const SettingsImage& image, const std::string& name) {
    const NamedSetting* setting = SettingTable::find(name);
    std::vector<std::uint8_t> codes;
    if (setting == nullptr) {
        return codes;
    }
    // Data byte 0 is the count; a count above seven is read as seven, as the pages show it.
    const int count = std::min<int>(image.at(setting->offset), CodeList::kMaxCodes);
    for (int i = 1; i <= count; ++i) {
        codes.push_back(image.at(setting->offset + static_cast<std::size_t>(i)));
    }
    return codes;
}

// A list the reader sends: its codes when "<section>.send_<which>" is on, otherwise nothing.
std::vector<std::uint8_t> sentCodes(const SettingsImage& image, const std::string& section,
                                    const std::string& which) {
    if (!flagOf(image, section + ".send_" + which)) {
        return {};
    }
    return codesOf(image, section + "." + which);
}

} // namespace

SwipeLayout SwipeLayout::fromSettings(const SettingsImage& image) {
    SwipeLayout layout;
    layout.prefix = sentCodes(image, "msr", "prefix");
    layout.suffix = sentCodes(image, "msr", "suffix");
    for (int number = 1; number <= 3; ++number) {
        const std::string section = "track" + std::to_string(number);
        Track& track = layout.tracks[static_cast<std::size_t>(number - 1)];
        track.prefix = sentCodes(image, section, "prefix");
        track.suffix = sentCodes(image, section, "suffix");
        track.lrc = flagOf(image, section + ".lrc_sentinel");
    }
    return layout;
}

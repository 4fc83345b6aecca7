#include "swipe/SwipeLayout.h"

#include "settings/SettingTable.h"
#include "settings/SettingText.h"
#include "settings/SettingsImage.h"

#include <string>

namespace {

bool flagOf(const SettingsImage& image, const std::string& name) {
    const NamedSetting* setting = SettingTable::find(name);
    return setting != nullptr && (image.at(setting->offset) & setting->mask) != 0;
}

std::vector<std::uint8_t> codesOf(const SettingsImage& image, const std::string& name) {
    const NamedSetting* setting = SettingTable::find(name);
    return setting != nullptr ? codeListCodes(*setting, image) : std::vector<std::uint8_t>();
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

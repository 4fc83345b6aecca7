#include "swipe/SwipeLayout.h"

#include "settings/SettingTable.h"

#include <string>

namespace {

// A list the reader sends: its codes when "<section>.send_<which>" is on, otherwise nothing.
std::vector<std::uint8_t> sentCodes(const SettingsImage& image, const std::string& section,
                                    const std::string& which) {
    if (!SettingTable::flag(image, section + ".send_" + which)) {
        return {};
    }
    return SettingTable::codes(image, section + "." + which);
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
        track.lrc = SettingTable::flag(image, section + ".lrc_sentinel");
    }
    return layout;
}

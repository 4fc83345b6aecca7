#include "settings/SettingCheck.h"

#include "settings/SettingTable.h"
#include "settings/SettingText.h"
#include "settings/SettingsImage.h"

#include <algorithm>
#include <optional>

namespace {

// The byte that puts the setting outside its values, or none when it holds one of them.
std::optional<std::uint8_t> misfit(const NamedSetting& setting, const SettingsImage& image) {
    const std::uint8_t value = SettingTable::value(image, setting);
    switch (setting.kind) {
    case SettingKind::Flag:
        return std::nullopt;
    case SettingKind::Byte:
        if ((value >= setting.low && value <= setting.high) ||
            choiceOf(setting, value) != nullptr) {
            return std::nullopt;
        }
        return value;
    case SettingKind::Choice:
        return choiceOf(setting, value) != nullptr ? std::nullopt : std::optional{value};
    case SettingKind::CodeList: {
        if (value > SettingsImage::kMaxCodes) {
            return value;
        }
        const std::vector<std::uint8_t> codes = SettingTable::codes(image, setting);
        if (std::ranges::find(codes, std::uint8_t{0}) != codes.end()) {
            return std::uint8_t{0};
        }
        return std::nullopt;
    }
    }
    return std::nullopt;
}

} // namespace

bool settingIsValid(const NamedSetting& setting, const SettingsImage& image) {
    return !misfit(setting, image).has_value();
}

std::vector<InvalidSetting> invalidSettings(const SettingsImage& image) {
    std::vector<InvalidSetting> found;
    for (const NamedSetting& setting : SettingTable::all()) {
        if (const std::optional<std::uint8_t> stored = misfit(setting, image)) {
            found.push_back({&setting, *stored, settingValues(setting)});
        }
    }
    return found;
}

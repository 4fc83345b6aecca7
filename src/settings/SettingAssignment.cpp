#include "settings/SettingAssignment.h"

#include "settings/SettingTable.h"
#include "settings/SettingsImage.h"

namespace {

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// The settings whose key is the last part of `name` ("beep", "track4.beep": track1.beep to
// track3.beep), as "a, b or c"; empty when there are none.
std::string sameKey(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    const std::string_view key = dot == std::string_view::npos ? name : name.substr(dot + 1);
    std::string names;
    std::string last;
    for (const NamedSetting& setting : SettingTable::all()) {
        if (key.empty() || setting.key() != key) {
            continue;
        }
        if (!last.empty()) {
            names += (names.empty() ? "" : ", ") + last;
        }
        last = std::string(setting.name);
    }
    return names.empty() ? last : names + " or " + last;
}

} // namespace

SettingStatus SettingAssignment::parse(std::string_view text, std::string& error) {
    setting_ = nullptr;
    value_.clear();
    const std::size_t equals = text.find('=');
    const std::string_view name = text.substr(0, equals);
    const NamedSetting* setting = SettingTable::find(name);
    if (setting == nullptr) {
        error = "unknown setting " + quoted(name);
        const std::string near = sameKey(name);
        if (!near.empty()) {
            error += "; did you mean " + near + "?";
        }
        return SettingStatus::UnknownName;
    }
    if (equals == std::string_view::npos) {
        error = std::string(name) + ": no \"=VALUE\"; it takes " + settingValues(*setting);
        return SettingStatus::BadValue;
    }
    const std::string_view value = text.substr(equals + 1);
    // Values do not depend on what the block holds: a scratch block tells whether it is taken.
    SettingsImage scratch;
    const SettingStatus status = writeSetting(scratch, *setting, value, error);
    if (status == SettingStatus::BadCodeList) {
        error += "; it takes " + settingValues(*setting) +
                 ", as characters 32..126 and {n} for any other code (\"T1{13}\")";
    }
    if (status == SettingStatus::Ok) {
        setting_ = setting;
        value_ = std::string(value);
    }
    return status;
}

SettingStatus SettingAssignment::apply(SettingsImage& image, std::string& error) const {
    if (setting_ == nullptr) {
        error = "no setting";
        return SettingStatus::UnknownName;
    }
    return writeSetting(image, *setting_, value_, error);
}

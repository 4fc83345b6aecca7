#include "settings/SettingAssignment.h"

#include "base/AsciiText.h"
#include "base/NearestWords.h"
#include "settings/SettingTable.h"
#include "settings/SettingsImage.h"

#include <vector>

namespace {

// "'a'", "'a' or 'b'", "'a', 'b' or 'c'".
std::string alternatives(const std::vector<std::string_view>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const char* separator = i == 0 ? "" : (i + 1 == names.size() ? " or " : ", ");
        text += separator + ("'" + std::string(names[i]) + "'");
    }
    return text;
}

// The settings a mistyped name most likely meant: those a slip of the fingers or a wrong case away,
// else those whose key is the last part of `name` ("beep", "track4.beep": track1.beep to
// track3.beep). Empty when there are none.
std::vector<std::string_view> nearNames(std::string_view name) {
    static const std::vector<std::string_view> names = [] {
        std::vector<std::string_view> all;
        for (const NamedSetting& setting : SettingTable::all()) {
            all.push_back(setting.name);
        }
        return all;
    }();
    std::vector<std::string_view> near = NearestWords::of(name, names);
    if (!near.empty()) {
        return near;
    }
    const std::size_t dot = name.rfind('.');
    const std::string_view key = dot == std::string_view::npos ? name : name.substr(dot + 1);
    for (const NamedSetting& setting : SettingTable::all()) {
        if (!key.empty() && setting.key() == key) {
            near.push_back(setting.name);
        }
    }
    return near;
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
        const std::vector<std::string_view> near = nearNames(name);
        if (!near.empty()) {
            error += "; did you mean " + alternatives(near) + "?";
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

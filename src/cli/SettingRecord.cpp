#include "cli/SettingRecord.h"

#include "base/ShellWord.h"
#include "settings/SettingCheck.h"
#include "settings/SettingDifferences.h"
#include "settings/SettingTable.h"
#include "settings/SettingText.h"
#include "settings/SettingsImage.h"

#include <nlohmann/json.hpp>

nlohmann::ordered_json SettingRecord::value(const NamedSetting& setting,
                                            const SettingsImage& image) {
    if (!settingIsValid(setting, image)) {
        return nullptr;
    }
    const std::uint8_t byte = SettingTable::value(image, setting);
    switch (setting.kind) {
    case SettingKind::Flag:
        return byte != 0;
    case SettingKind::Byte:
        return static_cast<int>(byte);
    case SettingKind::Choice: {
        const SettingChoice* known = choiceOf(setting, byte);
        return known != nullptr ? nlohmann::ordered_json(std::string(known->token))
                                : nlohmann::ordered_json(nullptr);
    }
    case SettingKind::CodeList:
        return SettingTable::codes(image, setting);
    }
    return nullptr;
}

nlohmann::ordered_json SettingRecord::raw(const NamedSetting& setting, const SettingsImage& image) {
    if (settingIsValid(setting, image)) {
        return nullptr;
    }
    for (const InvalidSetting& invalid : invalidSettings(image)) {
        if (invalid.setting == &setting) {
            return invalid.stored;
        }
    }
    return nullptr;
}

nlohmann::ordered_json SettingRecord::of(const NamedSetting& setting, const SettingsImage& image) {
    return {{"name", setting.name},           {"kind", kindWord(setting.kind)},
            {"value", value(setting, image)}, {"text", settingText(setting, image)},
            {"raw", raw(setting, image)},     {"valid", settingIsValid(setting, image)}};
}

nlohmann::ordered_json SettingRecord::differences(const SettingsImage& now, const char* nowKey,
                                                  const SettingsImage& becomes,
                                                  const char* becomesKey,
                                                  const std::vector<SettingDifference>* only) {
    const std::string nowName = nowKey;
    const std::string becomesName = becomesKey;
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    // Only the names are taken from `only`: its texts may stand in either order.
    for (const SettingDifference& difference :
         only != nullptr ? *only : settingDifferences(now, becomes)) {
        const NamedSetting& setting = *difference.setting;
        list.push_back({{"name", setting.name},
                        {nowName, value(setting, now)},
                        {becomesName, value(setting, becomes)},
                        {nowName + "_text", settingText(setting, now)},
                        {becomesName + "_text", settingText(setting, becomes)},
                        {nowName + "_raw", raw(setting, now)},
                        {becomesName + "_raw", raw(setting, becomes)},
                        {nowName + "_valid", settingIsValid(setting, now)},
                        {becomesName + "_valid", settingIsValid(setting, becomes)}});
    }
    return list;
}

nlohmann::ordered_json SettingRecord::invalid(const InvalidSetting& setting) {
    return {
        {"name", setting.setting->name}, {"raw", setting.stored}, {"accepted", setting.accepted}};
}

std::string SettingRecord::invalidText(const InvalidSetting& setting) {
    const bool codeList = setting.setting->kind == SettingKind::CodeList;
    return std::string(setting.setting->name) + " holds " +
           (codeList && setting.stored != 0 ? std::to_string(setting.stored) + " codes"
            : codeList                      ? std::string("the code 0")
                                            : "{" + std::to_string(setting.stored) + "}") +
           ", none of its values (" + setting.accepted + ")";
}

std::string SettingRecord::differenceLine(const NamedSetting& setting, const SettingsImage& now,
                                          const SettingsImage& becomes) {
    return std::string(setting.name) + ": " + settingText(setting, now) + " -> " +
           settingText(setting, becomes);
}

const char* SettingRecord::kindWord(SettingKind kind) {
    switch (kind) {
    case SettingKind::Flag:
        return "flag";
    case SettingKind::Byte:
        return "byte";
    case SettingKind::Choice:
        return "choice";
    case SettingKind::CodeList:
        return "code_list";
    }
    return "";
}

std::string SettingRecord::assignment(const NamedSetting& setting, const SettingsImage& image) {
    return shellWord(std::string(setting.name) + "=" + settingText(setting, image));
}

#include "cli/SettingRecord.h"

#include "base/ShellWord.h"
#include "settings/SettingCheck.h"
#include "settings/SettingDifferences.h"
#include "settings/SettingText.h"
#include "settings/SettingsImage.h"

nlohmann::ordered_json SettingRecord::value(const NamedSetting& setting,
                                            const SettingsImage& image) {
    const std::uint8_t byte = image.at(setting.offset);
    switch (setting.kind) {
    case SettingKind::Flag:
        return (byte & setting.mask) != 0;
    case SettingKind::Byte:
        return byte & setting.mask;
    case SettingKind::Choice: {
        // A stored value that is none of the choices shows as its number.
        const auto value = static_cast<std::uint8_t>(byte & setting.mask);
        const SettingChoice* known = choiceOf(setting, value);
        return known != nullptr ? nlohmann::ordered_json(std::string(known->token))
                                : nlohmann::ordered_json(value);
    }
    case SettingKind::CodeList:
        return codeListCodes(setting, image);
    }
    return nullptr;
}

nlohmann::ordered_json SettingRecord::of(const NamedSetting& setting, const SettingsImage& image) {
    return {{"name", setting.name},
            {"kind", kindWord(setting.kind)},
            {"value", value(setting, image)},
            {"text", settingText(setting, image)}};
}

nlohmann::ordered_json SettingRecord::differences(const SettingsImage& first, const char* firstKey,
                                                  const SettingsImage& second,
                                                  const char* secondKey,
                                                  const std::vector<SettingDifference>* only) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const SettingDifference& difference :
         only != nullptr ? *only : settingDifferences(first, second)) {
        const NamedSetting& setting = *difference.setting;
        list.push_back({{"name", setting.name},
                        {firstKey, value(setting, first)},
                        {secondKey, value(setting, second)},
                        {std::string(firstKey) + "_text", difference.first},
                        {std::string(secondKey) + "_text", difference.second}});
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

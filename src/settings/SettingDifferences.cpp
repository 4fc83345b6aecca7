#include "settings/SettingDifferences.h"

#include "settings/SettingTable.h"
#include "settings/SettingText.h"

std::vector<SettingDifference> settingDifferences(const SettingsImage& first,
                                                  const SettingsImage& second) {
    std::vector<SettingDifference> differences;
    for (const NamedSetting& setting : SettingTable::all()) {
        std::string a = settingText(setting, first);
        std::string b = settingText(setting, second);
        if (a != b) {
            differences.push_back({&setting, std::move(a), std::move(b)});
        }
    }
    return differences;
}

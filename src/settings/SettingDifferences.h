#pragma once

#include "settings/NamedSetting.h"

#include <string>
#include <vector>

class SettingsImage;

// One named setting that two blocks hold differently, with both values as text.
struct SettingDifference {
    const NamedSetting* setting;
    std::string first;
    std::string second;
};

// Every named setting whose text differs between the two blocks, in the table's order.
std::vector<SettingDifference> settingDifferences(const SettingsImage& first,
                                                  const SettingsImage& second);

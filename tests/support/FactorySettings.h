#pragma once

#include "settings/FactoryDefaults.h"
#include "settings/SettingText.h"
#include "settings/SettingsImage.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

// The factory settings changed by "name=value" assignments, as a script sets them.
inline SettingsImage factorySettingsWith(const std::vector<std::string>& assignments) {
    SettingsImage image;
    writeFactoryValues(image);
    for (const std::string& assignment : assignments) {
        const std::size_t equals = assignment.find('=');
        std::string error;
        EXPECT_EQ(
            writeSetting(image, assignment.substr(0, equals), assignment.substr(equals + 1), error),
            SettingStatus::Ok)
            << error;
    }
    return image;
}

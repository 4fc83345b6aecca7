#pragma once

#include "settings/NamedSetting.h"

#include <span>
#include <string_view>

// Every setting the pages show, by name: where it lives in the settings block, its kind and
// values, its caption and its meaning. The pages bind their controls through it, and scripts
// list, read and set settings by its names.
class SettingTable {
public:
    // All entries, section by section in page order: main, msr, track1..3, iso1..3.
    static std::span<const NamedSetting> all();
    // The entry of a name, or nullptr.
    static const NamedSetting* find(std::string_view name);
    // The entry "section.key" ("track2" and "beep"), or nullptr.
    static const NamedSetting* find(std::string_view section, std::string_view key);
};

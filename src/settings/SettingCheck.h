#pragma once

#include "settings/NamedSetting.h"

#include <cstdint>
#include <string>
#include <vector>

class SettingsImage;

// A named setting whose stored byte is none of the values it takes.
struct InvalidSetting {
    const NamedSetting* setting;
    // The byte that is out of place: the value under the setting's mask, or for a code list its
    // count (over 7) or its first code 0.
    std::uint8_t stored;
    // The values the setting takes, as settingValues() words them.
    std::string accepted;
};

// Whether a setting of the block holds one of its values: a flag always does; a byte its range
// or one of its named values; a choice one of its values, or what the window's search stores;
// a code list at most 7 codes, each 1..255.
bool settingIsValid(const NamedSetting& setting, const SettingsImage& image);

// Every named setting of the block that holds anything else, in the table's order. A block that
// nobody made with this tool or a reader (a file of zeros, a picture renamed .cfg) shows here
// before it can be programmed into a reader.
std::vector<InvalidSetting> invalidSettings(const SettingsImage& image);

#pragma once

#include "settings/NamedSetting.h"
#include "settings/SettingText.h"

#include <string>
#include <string_view>

class SettingsImage;

// One "name=value" of a script, such as "track2.prefix=T2" or "main.baud_rate=19200": the
// setting it names and the text of its value, checked against the table before any block is
// changed, so that a list of them is either refused or set as a whole.
class SettingAssignment {
public:
    // Reads "name=value". The name ends at the first '='; the value is the rest, which may hold
    // '=' itself or be empty (an empty code list). Ok when the name is a setting's and the value
    // one that it takes; otherwise the status and `error`, a message that names the setting and
    // the values it takes (for an unknown name, the settings with the same key, if any).
    SettingStatus parse(std::string_view text, std::string& error);

    // The setting and value of the last parse that gave Ok; nullptr before.
    const NamedSetting* setting() const { return setting_; }
    const std::string& value() const { return value_; }

    // Sets the value into the block: what writeSetting does with the same setting and text.
    // Always Ok after a parse that gave Ok; the block is left as it was otherwise.
    SettingStatus apply(SettingsImage& image, std::string& error) const;

private:
    const NamedSetting* setting_ = nullptr;
    std::string value_;
};

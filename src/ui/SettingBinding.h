#pragma once

#include "settings/NamedSetting.h"
#include "settings/SettingsImage.h"

#include <string>
#include <string_view>
#include <utility>

#include <QString>

// A text of the table (caption, label) as the controls take it.
inline QString fromTable(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// One control of a page bound to a setting of the table, by its key within the page's section
// ("beep" serves track1.beep to track3.beep). The page resolves the setting and passes it in, so
// that one control serves the three tracks.
class SettingBinding {
public:
    explicit SettingBinding(std::string key) : key_(std::move(key)) {}
    virtual ~SettingBinding() = default;
    SettingBinding(const SettingBinding&) = delete;
    SettingBinding& operator=(const SettingBinding&) = delete;

    const std::string& key() const { return key_; }

    // Shows the setting's value from the block.
    virtual void load(const NamedSetting& setting, const SettingsImage& image) = 0;
    // Writes what the control shows into the setting's bits of the block.
    virtual void store(const NamedSetting& setting, SettingsImage& image) const = 0;
    // Puts the table's caption (or, for buttons of a choice, its labels) on the control.
    virtual void showCaption(const NamedSetting& setting) = 0;

private:
    std::string key_;
};

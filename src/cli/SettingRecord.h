#pragma once

#include "settings/NamedSetting.h"
#include "settings/SettingDifferences.h"

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

class SettingsImage;
struct InvalidSetting;

// Named settings as r550ctl's records give them: typed for JSON (a flag as a boolean, a byte as
// a number, a choice as its word, a code list as its array of codes, each with the text form
// that `set` takes beside it), and as `name=value` words that a shell reads back unchanged.
struct SettingRecord {
    // The value alone, typed.
    static nlohmann::ordered_json value(const NamedSetting& setting, const SettingsImage& image);
    // {"name", "kind", "value", "text"}.
    static nlohmann::ordered_json of(const NamedSetting& setting, const SettingsImage& image);
    // Differences of `first` and `second` (all the named settings' when `list` is not given):
    // [{"name", firstKey, secondKey, firstKey_text, secondKey_text}], values typed.
    static nlohmann::ordered_json differences(const SettingsImage& first, const char* firstKey,
                                              const SettingsImage& second, const char* secondKey,
                                              const std::vector<SettingDifference>* list = nullptr);
    // A setting outside its values: {"name", "raw", "accepted"}.
    static nlohmann::ordered_json invalid(const InvalidSetting& setting);
    // The same as a sentence: "main.baud_rate holds {0}, none of 600, 1200, ...".
    static std::string invalidText(const InvalidSetting& setting);
    // "flag", "byte", "choice", "code_list".
    static const char* kindWord(SettingKind kind);
    // `name=value` as one shell word: quoted when the value is empty or holds anything a shell
    // would take apart.
    static std::string assignment(const NamedSetting& setting, const SettingsImage& image);
};

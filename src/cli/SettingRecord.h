#pragma once

#include "settings/NamedSetting.h"
#include "settings/SettingDifferences.h"

#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

class SettingsImage;
struct InvalidSetting;

// Named settings as r550ctl's records give them: typed for JSON, one type per setting (a flag as
// a boolean, a byte as a number, a choice as its word, a code list as its array of codes, each
// with the text form that `set` takes beside it; a stored byte outside the setting's values as
// null, with the byte as `raw` and `valid` false), and as `name=value` words that a shell reads
// back unchanged.
struct SettingRecord {
    // The value alone, typed; null when the block holds none of the setting's values.
    static nlohmann::ordered_json value(const NamedSetting& setting, const SettingsImage& image);
    // The stored byte that is none of the setting's values, or null when it holds one of them.
    static nlohmann::ordered_json raw(const NamedSetting& setting, const SettingsImage& image);
    // {"name", "kind", "value", "text", "raw", "valid"}.
    static nlohmann::ordered_json of(const NamedSetting& setting, const SettingsImage& image);
    // The settings that differ between what is there now and what it becomes (all the named
    // settings' when `only` is not given; otherwise those it names): [{"name", nowKey,
    // becomesKey, nowKey_text, becomesKey_text, nowKey_raw, becomesKey_raw, nowKey_valid,
    // becomesKey_valid}], values typed as value() gives them.
    static nlohmann::ordered_json differences(const SettingsImage& now, const char* nowKey,
                                              const SettingsImage& becomes, const char* becomesKey,
                                              const std::vector<SettingDifference>* only = nullptr);
    // The one text form of a difference, in every command and locale: "name: X -> Y", X what is
    // there now (the reader, the first file), Y what it becomes (the file, the second file).
    static std::string differenceLine(const NamedSetting& setting, const SettingsImage& now,
                                      const SettingsImage& becomes);
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

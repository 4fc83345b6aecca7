#pragma once

#include "settings/NamedSetting.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class SettingsImage;

// The outcome of reading or setting a named setting from text.
enum class SettingStatus {
    Ok = 0,
    UnknownName, // no setting has this name
    BadValue,    // not a word or number the setting takes
    OutOfRange,  // a number outside the setting's range
    BadCodeList, // not a code list: a bad {n}, a character to write as {n}, more than 7 codes
};

// Settings as text, for scripts and for the settings reference. The text forms:
// - flag: "on" or "off" (also read: 1/0, true/false, yes/no, in any case);
// - byte: its decimal value; a stored value outside the range that names no choice shows as the
//   stored byte "{n}", which is also read back as it is;
// - choice: its token, such as "rs232" (also read: the page's label, in any case); a stored value
//   that is none of its values shows as the stored byte "{n}", which is also read back as it is;
//   a bare number is never a choice's value unless it is its token (main.operating_mode's 3 and
//   255, which the window's search stores);
// - code list: the codes in order, 32..126 as their character except "{", every other code as
//   "{n}" ("T1{13}"); "{" itself is "{123}", so that every text reads back as the same list.
// Nothing here throws; a text that is refused leaves the block unchanged.

// The choice of `setting` that stores `value`, or none.
const SettingChoice* choiceOf(const NamedSetting& setting, std::uint8_t value);

// The value of a setting in the block as text.
std::string settingText(const NamedSetting& setting, const SettingsImage& image);
// The same by name: Ok and the text, or UnknownName.
SettingStatus readSetting(const SettingsImage& image, std::string_view name, std::string& text);

// Sets a setting from its text form. On any status but Ok the block is unchanged and `error`
// says what was wrong, naming the setting.
SettingStatus writeSetting(SettingsImage& image, const NamedSetting& setting, std::string_view text,
                           std::string& error);
SettingStatus writeSetting(SettingsImage& image, std::string_view name, std::string_view text,
                           std::string& error);

// The values a setting takes, as a reference line: "on, off", "0..254", "keyboard_wedge, rs232".
std::string settingValues(const NamedSetting& setting);
// Where it lives in the block: "0x064", "slot 18 (0x2B2) bit 0x80", "slot 24 (0x2EE..0x2F5)".
std::string settingPlace(const NamedSetting& setting);

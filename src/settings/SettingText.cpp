#include "settings/SettingText.h"

#include "base/AsciiText.h"
#include "settings/CodeText.h"
#include "settings/SettingTable.h"
#include "settings/SettingsImage.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <span>
#include <utility>

namespace {

// The words a flag takes: on and off, and the other pairs scripts tend to write.
constexpr std::pair<std::string_view, std::string_view> kFlagWords[] = {
    {"on", "off"}, {"1", "0"}, {"true", "false"}, {"yes", "no"}};

bool sameWord(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

std::string hex(std::size_t value, int digits) {
    std::array<char, 24> text{};
    std::snprintf(text.data(), text.size(), "0x%0*zX", digits, value);
    return text.data();
}

// Decimal digits only, saturating well above any byte; false for an empty text or another
// character.
bool decimal(std::string_view text, int& value) {
    if (text.empty()) {
        return false;
    }
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = std::min(value * 10 + (c - '0'), 100000);
    }
    return true;
}

std::string codeListText(const std::vector<std::uint8_t>& codes) {
    std::string text;
    for (const std::uint8_t c : codes) {
        if (c >= 32 && c <= 126 && c != '{') {
            text += static_cast<char>(c);
        } else {
            text += "{" + std::to_string(c) + "}";
        }
    }
    return text;
}

SettingStatus refuse(SettingStatus status, const NamedSetting& setting, const std::string& why,
                     std::string& error) {
    error = std::string(setting.name) + ": " + why;
    return status;
}

// "{n}": the byte as it is stored, whatever the setting's values. True with the number for any
// text of that form; false for every other text.
bool rawByteText(std::string_view text, int& value) {
    if (text.size() < 2 || text.front() != '{' || text.back() != '}') {
        return false;
    }
    if (!decimal(text.substr(1, text.size() - 2), value)) {
        value = -1;
    }
    return true;
}

// Stores "{n}" as it is, within the bits the setting owns.
SettingStatus writeRawByte(SettingsImage& image, const NamedSetting& setting, std::string_view text,
                           int value, std::string& error) {
    if (value < 0 || value > 0xFF || (value & ~setting.mask) != 0) {
        return refuse(SettingStatus::OutOfRange, setting,
                      quoted(text) + " is outside {0}..{" + std::to_string(setting.mask) + "}",
                      error);
    }
    SettingTable::setValue(image, setting, static_cast<std::uint8_t>(value));
    return SettingStatus::Ok;
}

const std::string kRawByteHint = "; {n} stores the byte n as it is";

// A number in the setting's range, or one of the values its choices name outside it.
SettingStatus writeByte(SettingsImage& image, const NamedSetting& setting, std::string_view text,
                        std::string& error) {
    int value = 0;
    if (rawByteText(text, value)) {
        return writeRawByte(image, setting, text, value, error);
    }
    if (!decimal(text, value)) {
        return refuse(SettingStatus::BadValue, setting,
                      quoted(text) + " is not a number " + settingValues(setting), error);
    }
    if ((value < setting.low || value > setting.high) &&
        (value > 0xFF || choiceOf(setting, static_cast<std::uint8_t>(value)) == nullptr)) {
        return refuse(SettingStatus::OutOfRange, setting,
                      quoted(text) + " is out of range " + settingValues(setting) + kRawByteHint,
                      error);
    }
    SettingTable::setValue(image, setting, static_cast<std::uint8_t>(value));
    return SettingStatus::Ok;
}

// One of the setting's words (or the page's label for it), or "{n}".
SettingStatus writeChoice(SettingsImage& image, const NamedSetting& setting, std::string_view text,
                          std::string& error) {
    for (const auto list : {setting.choices, setting.stored}) {
        for (const SettingChoice& c : list) {
            if (sameWord(text, c.token) || sameWord(text, c.label)) {
                SettingTable::setValue(image, setting, c.value);
                return SettingStatus::Ok;
            }
        }
    }
    if (int value = 0; rawByteText(text, value)) {
        return writeRawByte(image, setting, text, value, error);
    }
    return refuse(SettingStatus::BadValue, setting,
                  quoted(text) + " is not one of " + settingValues(setting) + kRawByteHint, error);
}

} // namespace

const SettingChoice* choiceOf(const NamedSetting& setting, std::uint8_t value) {
    for (const auto list : {setting.choices, setting.stored}) {
        for (const SettingChoice& c : list) {
            if (c.value == value) {
                return &c;
            }
        }
    }
    return nullptr;
}

std::string settingText(const NamedSetting& setting, const SettingsImage& image) {
    const std::uint8_t value = SettingTable::value(image, setting);
    switch (setting.kind) {
    case SettingKind::Flag:
        return value != 0 ? "on" : "off";
    case SettingKind::Byte: {
        // A value outside the range that names no choice either (from a file made by hand)
        // shows as the stored byte, {n}, the form that writeSetting takes back for it.
        const bool inRange =
            (value >= setting.low && value <= setting.high) || choiceOf(setting, value) != nullptr;
        return inRange ? std::to_string(value) : "{" + std::to_string(value) + "}";
    }
    case SettingKind::Choice: {
        const SettingChoice* c = choiceOf(setting, value);
        return c != nullptr ? std::string(c->token) : "{" + std::to_string(value) + "}";
    }
    case SettingKind::CodeList:
        return codeListText(SettingTable::codes(image, setting));
    }
    return {};
}

SettingStatus readSetting(const SettingsImage& image, std::string_view name, std::string& text) {
    const NamedSetting* setting = SettingTable::find(name);
    if (setting == nullptr) {
        return SettingStatus::UnknownName;
    }
    text = settingText(*setting, image);
    return SettingStatus::Ok;
}

SettingStatus writeSetting(SettingsImage& image, const NamedSetting& setting, std::string_view text,
                           std::string& error) {
    switch (setting.kind) {
    case SettingKind::Flag: {
        for (const auto& [on, off] : kFlagWords) {
            if (sameWord(text, on) || sameWord(text, off)) {
                SettingTable::setFlag(image, setting, sameWord(text, on));
                return SettingStatus::Ok;
            }
        }
        return refuse(SettingStatus::BadValue, setting,
                      quoted(text) + " is not one of " + settingValues(setting), error);
    }
    case SettingKind::Byte:
        return writeByte(image, setting, text, error);
    case SettingKind::Choice:
        return writeChoice(image, setting, text, error);
    case SettingKind::CodeList: {
        std::vector<std::uint8_t> parsed;
        std::string reason;
        if (!CodeText::parse(text, CodeText::Mode::Strict, parsed, reason,
                             static_cast<std::size_t>(SettingsImage::kMaxCodes))) {
            return refuse(SettingStatus::BadCodeList, setting, quoted(text) + ": " + reason, error);
        }
        SettingTable::setCodes(image, setting, parsed);
        return SettingStatus::Ok;
    }
    }
    return SettingStatus::BadValue;
}

SettingStatus writeSetting(SettingsImage& image, std::string_view name, std::string_view text,
                           std::string& error) {
    const NamedSetting* setting = SettingTable::find(name);
    if (setting == nullptr) {
        error = "unknown setting " + quoted(name);
        return SettingStatus::UnknownName;
    }
    return writeSetting(image, *setting, text, error);
}

std::string settingValues(const NamedSetting& setting) {
    switch (setting.kind) {
    case SettingKind::Flag:
        return "on, off";
    case SettingKind::Byte: {
        std::string values = std::to_string(setting.low) + ".." + std::to_string(setting.high);
        for (const SettingChoice& c : setting.choices) {
            values += ", " + std::string(c.token) + " (" + std::string(c.label) + ")";
        }
        return values;
    }
    case SettingKind::Choice: {
        std::string values;
        for (const SettingChoice& c : setting.choices) {
            values += (values.empty() ? "" : ", ") + std::string(c.token);
        }
        for (const SettingChoice& c : setting.stored) {
            values += ", " + std::string(c.token) + " (" + std::string(c.label) + ")";
        }
        return values;
    }
    case SettingKind::CodeList:
        return "up to 7 codes 1..255";
    }
    return {};
}

std::string settingPlace(const NamedSetting& setting) {
    if (setting.offset < SettingsImage::kDataBase) {
        return hex(setting.offset, 3);
    }
    const std::size_t slot =
        (setting.offset - SettingsImage::kDataBase) / SettingsImage::kDataBytes;
    std::string place = "slot " + std::to_string(slot) + " (" + hex(setting.offset, 3);
    if (setting.kind == SettingKind::CodeList) {
        return place + ".." + hex(setting.offset + SettingsImage::kMaxCodes, 3) + ")";
    }
    place += ")";
    if (setting.mask != 0xFF) {
        place += " bit" + std::string(setting.kind == SettingKind::Flag ? " " : "s ") +
                 hex(setting.mask, 2);
    }
    return place;
}

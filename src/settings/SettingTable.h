#pragma once

#include "settings/NamedSetting.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

class SettingsImage;

// Every setting the pages show, by name: where it lives in the settings block, its kind and
// values, its caption and its meaning. The pages bind their controls through it, and scripts
// list, read and set settings by its names. Every part of the program reads and writes the
// named settings of a block through it.
class SettingTable {
public:
    // What main.operating_mode holds: the two modes, and what the window's search for the reader
    // stores. main.com_port holds kUnknown after a search that found no reader.
    static constexpr std::uint8_t kModeKeyboardWedge = 0;
    static constexpr std::uint8_t kModeRs232 = 1;
    static constexpr std::uint8_t kModeNotFound = 3;
    static constexpr std::uint8_t kUnknown = 0xFF;
    // The two link settings the window's commands act on.
    static constexpr std::string_view kOperatingMode = "main.operating_mode";
    static constexpr std::string_view kComPort = "main.com_port";

    // All entries, section by section in page order: main, msr, track1..3, iso1..3.
    static std::span<const NamedSetting> all();
    // The entry of a name, or nullptr.
    static const NamedSetting* find(std::string_view name);
    // The entry "section.key" ("track2" and "beep"), or nullptr.
    static const NamedSetting* find(std::string_view section, std::string_view key);

    // Typed access through an entry. A flag is whether its bit is set; a byte or a choice is the
    // bits under its mask; a code list is its codes (as many as its count says, at most seven).
    // Writing changes only those bits, or the count and the seven places of the record: those
    // behind the last code are cleared, the record's last two bytes kept.
    static bool flag(const SettingsImage& image, const NamedSetting& setting);
    static void setFlag(SettingsImage& image, const NamedSetting& setting, bool on);
    static std::uint8_t value(const SettingsImage& image, const NamedSetting& setting);
    static void setValue(SettingsImage& image, const NamedSetting& setting, std::uint8_t value);
    static std::vector<std::uint8_t> codes(const SettingsImage& image, const NamedSetting& setting);
    static void setCodes(SettingsImage& image, const NamedSetting& setting,
                         std::span<const std::uint8_t> codes);

    // The same by name. A name the table does not have reads as off, 0 or no codes; writing it
    // changes nothing and returns false.
    static bool flag(const SettingsImage& image, std::string_view name);
    static bool setFlag(SettingsImage& image, std::string_view name, bool on);
    static std::uint8_t value(const SettingsImage& image, std::string_view name);
    static bool setValue(SettingsImage& image, std::string_view name, std::uint8_t value);
    static std::vector<std::uint8_t> codes(const SettingsImage& image, std::string_view name);
    static bool setCodes(SettingsImage& image, std::string_view name,
                         std::span<const std::uint8_t> codes);
};

#pragma once

#include "settings/SettingTable.h"
#include "settings/SettingsImage.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// The bytes of a block by the names of the table of settings, for tests that set or check whole
// bytes and records (a stray bit, a broken count, a pattern) rather than one value. A name the
// table does not have throws, so that the test fails naming it.

inline const NamedSetting& settingNamed(std::string_view name) {
    const NamedSetting* setting = SettingTable::find(name);
    if (setting == nullptr) {
        throw std::invalid_argument("no setting is named " + std::string(name));
    }
    return *setting;
}

// Where a setting lives in the block: its byte, or the first byte of its record.
inline std::size_t offsetOf(std::string_view name) {
    return settingNamed(name).offset;
}

// The whole byte a flag, byte or choice lives in, the bits of its neighbours included.
inline std::uint8_t& byteOf(SettingsImage& image, std::string_view name) {
    return image.at(offsetOf(name));
}
inline std::uint8_t byteOf(const SettingsImage& image, std::string_view name) {
    return image.at(offsetOf(name));
}

// The flags byte of a section ("main", "msr", "track2", "iso3"): the byte of its first flag.
inline std::size_t flagsOffset(std::string_view section) {
    for (const NamedSetting& setting : SettingTable::all()) {
        if (setting.section() == section && setting.kind == SettingKind::Flag) {
            return setting.offset;
        }
    }
    throw std::invalid_argument("no flags in section " + std::string(section));
}
inline std::uint8_t& flagsOf(SettingsImage& image, std::string_view section) {
    return image.at(flagsOffset(section));
}
inline std::uint8_t flagsOf(const SettingsImage& image, std::string_view section) {
    return image.at(flagsOffset(section));
}

// The ten bytes of a code list's record ("track1.prefix"): the count, seven codes and two
// bytes no setting shows.
inline std::uint8_t* recordOf(SettingsImage& image, std::string_view name) {
    return image.raw().data() + offsetOf(name);
}
inline const std::uint8_t* recordOf(const SettingsImage& image, std::string_view name) {
    return image.raw().data() + offsetOf(name);
}

// The section of track 1..3 ("track2") and of its ISO page ("iso2").
inline std::string trackSection(int track) {
    return "track" + std::to_string(track);
}
inline std::string isoSection(int track) {
    return "iso" + std::to_string(track);
}

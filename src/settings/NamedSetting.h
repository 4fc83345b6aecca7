#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// What kind of value a named setting holds, and so how it is read, written and shown.
enum class SettingKind {
    Flag,     // one bit: on or off
    Byte,     // a number in a range
    Choice,   // one of a few listed values, under a mask of the byte
    CodeList, // a string record: a count and up to seven key codes 1..255
};

// One value of a choice: the byte under the setting's mask, the word a script writes for it and
// the caption the page shows for it.
struct SettingChoice {
    std::uint8_t value;
    std::string_view token;
    std::string_view label;
};

// One setting that a page shows, by its stable name ("track2.start_sentinel"). The name's part
// before the dot is its section: the page, or the track of a page, that shows it.
struct NamedSetting {
    std::string_view name;
    SettingKind kind;
    // The byte of the block (flag, byte, choice) or the first byte of the string record (code
    // list), as an offset into the block.
    std::size_t offset;
    // Flag: its bit. Byte and choice: the bits that hold the value (0xFF: the whole byte).
    // Code list: 0xFF.
    std::uint8_t mask;
    // Byte: the values the page can show and the setting takes.
    std::uint8_t low;
    std::uint8_t high;
    // Choice: its values, in the order the page lists them. Byte: the values outside its range
    // that it may hold all the same, each with what it means.
    std::span<const SettingChoice> choices;
    // Choice: the values the window itself stores besides those the page lists (what its search
    // for the reader found), each with what it means. The page never offers them.
    std::span<const SettingChoice> stored;
    // The caption of the control that shows it.
    std::string_view caption;
    // What it does, in one line.
    std::string_view meaning;

    std::string_view section() const { return name.substr(0, name.find('.')); }
    std::string_view key() const {
        const std::size_t dot = name.find('.');
        return dot == std::string_view::npos ? std::string_view{} : name.substr(dot + 1);
    }
};

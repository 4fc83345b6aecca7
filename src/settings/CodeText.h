#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Key codes as text, the way the pages show them: codes 32..126 as their character, every other
// code as "{%d}". Used for code lists, for what a reader sends, and for the card data given to
// the simulator on its command line.
class CodeText {
public:
    static std::string format(std::span<const std::uint8_t> codes);
    // The codes in upper-case hex, separated by spaces: "3B 34 0D".
    static std::string hex(std::span<const std::uint8_t> codes);

    // The reverse of format: "{n}" with n from 0 to 255 (one to three digits) is that code, every
    // other character of 32..126 is its own code, a brace that opens no such group included (so
    // "{" shown for code 123 reads back as 123). Nothing (no value) for a group of more than three
    // digits or above 255, or a character outside 32..126.
    static std::optional<std::vector<std::uint8_t>> parse(std::string_view text);
};

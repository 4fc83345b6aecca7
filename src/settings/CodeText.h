#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
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
    // How text is read back into codes. In both, a character of 32..126 outside a "{n}" group is
    // its own code and every other character is refused.
    enum class Mode {
        // A code list as a script or a settings file sets it: "{n}" with n from 1 to 255 (any
        // number of digits) is that code, and a "{" that starts no such group is refused, so a
        // brace is written "{123}".
        Strict,
        // Card data for the simulator: "{n}" with n from 0 to 255 (one to three digits) is that
        // code, and a brace that opens no such group stands for itself (so "{" shown for code
        // 123 reads back as 123).
        Lenient,
    };

    static std::string format(std::span<const std::uint8_t> codes);
    // The codes in upper-case hex, separated by spaces: "3B 34 0D".
    static std::string hex(std::span<const std::uint8_t> codes);

    // The codes of `text`, at most `most` of them. False with the reason for the first fault, in
    // the text's order ("{0} is outside 1..255", "more than 7 codes"), and no codes otherwise.
    static bool parse(std::string_view text, Mode mode, std::vector<std::uint8_t>& codes,
                      std::string& reason,
                      std::size_t most = std::numeric_limits<std::size_t>::max());
    // The same without the reason: nothing (no value) for a text that is refused.
    static std::optional<std::vector<std::uint8_t>> parse(std::string_view text, Mode mode);
};

#include "settings/CodeText.h"

#include <charconv>

std::string CodeText::format(std::span<const std::uint8_t> codes) {
    std::string text;
    for (const std::uint8_t code : codes) {
        if (code >= 32 && code <= 126) {
            text += static_cast<char>(code);
        } else {
            text += "{" + std::to_string(code) + "}";
        }
    }
    return text;
}

std::string CodeText::hex(std::span<const std::uint8_t> codes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t code : codes) {
        if (!text.empty()) {
            text += ' ';
        }
        text += kDigits[code >> 4];
        text += kDigits[code & 0x0F];
    }
    return text;
}

std::optional<std::vector<std::uint8_t>> CodeText::parse(std::string_view text) {
    std::vector<std::uint8_t> codes;
    std::size_t at = 0;
    while (at < text.size()) {
        const char c = text[at];
        if (c < 32 || c > 126) {
            return std::nullopt;
        }
        // "{digits}" is a code; a brace that opens no such group stands for itself.
        const std::size_t digits = c == '{' ? text.find_first_not_of("0123456789", at + 1) : 0;
        if (c != '{' || digits == std::string_view::npos || digits == at + 1 ||
            text[digits] != '}') {
            codes.push_back(static_cast<std::uint8_t>(c));
            ++at;
            continue;
        }
        unsigned value = 0;
        const auto [end, error] =
            std::from_chars(text.data() + at + 1, text.data() + digits, value);
        if (error != std::errc() || end != text.data() + digits || digits - at - 1 > 3 ||
            value > 255) {
            return std::nullopt;
        }
        codes.push_back(static_cast<std::uint8_t>(value));
        at = digits + 1;
    }
    return codes;
}

#include "settings/CodeText.h"

#include <algorithm>

namespace {

constexpr std::string_view kDigits = "0123456789";

// The decimal value of a run of digits, saturating well above any code.
unsigned decimalValue(std::string_view digits) {
    unsigned value = 0;
    for (const char c : digits) {
        value = std::min(value * 10 + static_cast<unsigned>(c - '0'), 100000U);
    }
    return value;
}

// The character at `at` as its own code.
bool character(std::string_view text, std::size_t& at, std::uint8_t& code, std::string& reason) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (c < 32 || c > 126) {
        reason = "a character outside 32..126 is written as {n}";
        return false;
    }
    code = c;
    ++at;
    return true;
}

// A "{" starts a code up to the next "}": nothing but digits, 1 to 255.
bool strictCode(std::string_view text, std::size_t& at, std::uint8_t& code, std::string& reason) {
    if (text[at] != '{') {
        return character(text, at, code, reason);
    }
    const std::size_t close = text.find('}', at);
    const std::string_view digits =
        close == std::string_view::npos ? std::string_view{} : text.substr(at + 1, close - at - 1);
    if (digits.empty() || digits.find_first_not_of(kDigits) != std::string_view::npos) {
        reason = "\"{\" must start a code {1} to {255}";
        return false;
    }
    const unsigned value = decimalValue(digits);
    if (value < 1 || value > 255) {
        reason = "{" + std::string(digits) + "} is outside 1..255";
        return false;
    }
    code = static_cast<std::uint8_t>(value);
    at = close + 1;
    return true;
}

// "{digits}" is a code from 0 to 255; a brace that opens no such group stands for itself.
bool lenientCode(std::string_view text, std::size_t& at, std::uint8_t& code, std::string& reason) {
    const std::size_t end =
        text[at] == '{' ? text.find_first_not_of(kDigits, at + 1) : std::string_view::npos;
    if (end == std::string_view::npos || end == at + 1 || text[end] != '}') {
        return character(text, at, code, reason);
    }
    const std::string_view digits = text.substr(at + 1, end - at - 1);
    const unsigned value = decimalValue(digits);
    if (digits.size() > 3 || value > 255) {
        reason = "{" + std::string(digits) + "} is outside 0..255";
        return false;
    }
    code = static_cast<std::uint8_t>(value);
    at = end + 1;
    return true;
}

} // namespace

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
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t code : codes) {
        if (!text.empty()) {
            text += ' ';
        }
        text += kHexDigits[code >> 4];
        text += kHexDigits[code & 0x0F];
    }
    return text;
}

bool CodeText::parse(std::string_view text, Mode mode, std::vector<std::uint8_t>& codes,
                     std::string& reason, std::size_t most) {
    codes.clear();
    std::size_t at = 0;
    while (at < text.size()) {
        std::uint8_t code = 0;
        const bool read = mode == Mode::Strict ? strictCode(text, at, code, reason)
                                               : lenientCode(text, at, code, reason);
        if (read && codes.size() == most) {
            reason = "more than " + std::to_string(most) + " codes";
        }
        if (!read || codes.size() == most) {
            codes.clear();
            return false;
        }
        codes.push_back(code);
    }
    return true;
}

std::optional<std::vector<std::uint8_t>> CodeText::parse(std::string_view text, Mode mode) {
    std::vector<std::uint8_t> codes;
    std::string reason;
    if (!parse(text, mode, codes, reason)) {
        return std::nullopt;
    }
    return codes;
}

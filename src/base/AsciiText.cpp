#include "base/AsciiText.h"

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

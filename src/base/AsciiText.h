#pragma once

#include <string>
#include <string_view>

// The lower-case form of an ASCII capital; any other byte as it is. Unlike std::tolower it
// depends on no locale.
char asciiLower(char c);

// The text between double quotes, as messages name a value: "COM3".
std::string quoted(std::string_view text);

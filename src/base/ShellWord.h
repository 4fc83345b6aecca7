#pragma once

#include <string>

// A text as one word for a POSIX shell: as it is where that is safe, otherwise in single quotes
// (a quote inside as '\''). A text ending in '=' is quoted too, so that "name=" reads as a word
// with an empty value.
std::string shellWord(const std::string& text);

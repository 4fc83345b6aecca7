#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A text as one word for a POSIX shell: as it is where that is safe, otherwise in single quotes
// (a quote inside as '\''). A text ending in '=' is quoted too, so that "name=" reads as a word
// with an empty value.
std::string shellWord(const std::string& text);

// The words a POSIX shell makes of a line, their quotes taken away: blanks part words; '...'
// keeps everything; "..." keeps everything but a backslash before \ " $ or `; a backslash
// outside quotes keeps the next character; a word that begins with # begins a comment.
// Nothing is expanded. None for an unclosed quote or a
// backslash at the end.
std::optional<std::vector<std::string>> shellWords(std::string_view line);

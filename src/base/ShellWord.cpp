#include "base/ShellWord.h"

std::string shellWord(const std::string& text) {
    const bool plain = !text.empty() && text.back() != '=' &&
                       text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                              "0123456789_./:+,=@%-") == std::string::npos;
    if (plain) {
        return text;
    }
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

namespace {

// Reads one quoted part that starts after its opening quote at `i`; false when it is not closed.
bool readQuoted(std::string_view line, std::size_t& i, char quote, std::string& word) {
    for (; i < line.size(); ++i) {
        const char c = line[i];
        if (c == quote) {
            return true;
        }
        if (quote == '"' && c == '\\' && i + 1 < line.size() &&
            std::string_view("\\\"$`").find(line[i + 1]) != std::string_view::npos) {
            ++i;
        }
        word += line[i];
    }
    return false;
}

} // namespace

std::optional<std::vector<std::string>> shellWords(std::string_view line) {
    std::vector<std::string> words;
    std::optional<std::string> word;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == ' ' || c == '\t') {
            if (word) {
                words.push_back(*word);
                word.reset();
            }
            continue;
        }
        if (!word && c == '#') {
            break; // a comment, to the end of the line
        }
        if (!word) {
            word.emplace();
        }
        if (c == '\'' || c == '"') {
            ++i;
            if (!readQuoted(line, i, c, *word)) {
                return std::nullopt;
            }
        } else if (c == '\\') {
            if (++i == line.size()) {
                return std::nullopt;
            }
            *word += line[i];
        } else {
            *word += c;
        }
    }
    if (word) {
        words.push_back(*word);
    }
    return words;
}

#include "cli/CommandOption.h"

#include <algorithm>

std::vector<std::string> CommandOption::words() const {
    std::vector<std::string> words;
    std::size_t begin = 0;
    while (begin <= names.size()) {
        const std::size_t comma = std::min(names.find(',', begin), names.size());
        words.push_back(names.substr(begin, comma - begin));
        begin = comma + 1;
    }
    return words;
}

std::string CommandOption::refusal(const std::string& text) const {
    if (choices.empty() || std::find(choices.begin(), choices.end(), text) != choices.end()) {
        return check != nullptr ? check(text) : std::string();
    }
    if (choices.size() == 2) {
        return "'" + text + "' is neither " + choices[0] + " nor " + choices[1];
    }
    std::string all;
    for (const std::string& choice : choices) {
        all += (all.empty() ? "" : ", ") + choice;
    }
    return "'" + text + "' is none of " + all;
}

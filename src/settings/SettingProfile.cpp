#include "settings/SettingProfile.h"

#include "base/ShellWord.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

bool SettingProfile::load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        const int error = errno;
        assignments_.clear();
        problems_ = {path + ": " + std::strerror(error != 0 ? error : ENOENT)};
        return false;
    }
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        problems_ = {path + ": cannot be read"};
        return false;
    }
    return read(text, path);
}

bool SettingProfile::read(std::string_view text, const std::string& source) {
    assignments_.clear();
    problems_.clear();
    int number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        readLine(line, source + ":" + std::to_string(++number));
    }
    return problems_.empty();
}

void SettingProfile::readLine(std::string_view line, const std::string& where) {
    const std::optional<std::vector<std::string>> words = shellWords(line);
    if (!words) {
        problems_.push_back(where + ": a quote is not closed");
        return;
    }
    for (const std::string& word : *words) {
        SettingAssignment assignment;
        std::string error;
        if (assignment.parse(word, error) == SettingStatus::Ok) {
            assignments_.push_back(assignment);
        } else {
            problems_.push_back(where + ": " + error);
        }
    }
}

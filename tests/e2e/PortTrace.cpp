#include "PortTrace.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

bool parseNumber(const std::string& word, int base, std::int64_t& number) {
    const char* first = word.data();
    const char* last = word.data() + word.size();
    if (base == 16) {
        if (word.size() < 3 || word[0] != '0' || (word[1] != 'x' && word[1] != 'X')) {
            return false;
        }
        first += 2;
    }
    const auto [end, error] = std::from_chars(first, last, number, base);
    return error == std::errc() && end == last;
}

} // namespace

std::optional<std::vector<PortTrace::Write>> PortTrace::read(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::vector<Write> writes;
    std::string line;
    // A line without its end may still be being written: only complete lines count.
    std::ostringstream whole;
    whole << in.rdbuf();
    const std::string text = whole.str();
    std::istringstream lines(text.substr(0, text.rfind('\n') + 1));
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string time;
        std::string port;
        std::string value;
        std::string extra;
        words >> time >> port >> value >> extra;
        Write write;
        std::int64_t portNumber = 0;
        std::int64_t byte = 0;
        if (!extra.empty() || !parseNumber(time, 10, write.milliseconds) ||
            !parseNumber(port, 16, portNumber) || !parseNumber(value, 16, byte) || byte > 0xFF) {
            return std::nullopt;
        }
        write.port = static_cast<int>(portNumber);
        write.value = static_cast<int>(byte);
        writes.push_back(write);
    }
    return writes;
}

std::string PortTrace::bytesOf(const std::vector<Write>& writes) {
    std::string text;
    for (const Write& write : writes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x", write.value);
        if (!text.empty()) {
            text += ' ';
        }
        text += hex;
    }
    return text;
}

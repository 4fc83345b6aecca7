#include "SimMemory.h"

#include <cstddef>
#include <vector>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void appendHex(std::string& out, std::uint8_t value) {
    out.push_back(kHexDigits[value >> 4]);
    out.push_back(kHexDigits[value & 0x0F]);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// Splits one line into its whitespace-separated words.
std::vector<std::string_view> wordsOf(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i])) {
            ++i;
        }
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i])) {
            ++i;
        }
        if (i > start) {
            words.push_back(line.substr(start, i - start));
        }
    }
    return words;
}

// Two hex digits, nothing else.
std::optional<std::uint8_t> byteOf(std::string_view word) {
    if (word.size() != 2) {
        return std::nullopt;
    }
    const int high = hexValue(word[0]);
    const int low = hexValue(word[1]);
    if (high < 0 || low < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(high * 16 + low);
}

} // namespace

SimMemory SimMemory::factory() {
    SimMemory memory;
    const std::uint8_t bytes[] = {0x86, 0x01, 0x0A, 0x05, 0x80, 0xA3, 0xA3, 0xA3, 0x83};
    for (int i = 0; i < 9; ++i) {
        memory.write(kByteGroup, i, bytes[i]);
    }
    for (int i = 0; i < 3; ++i) {
        memory.write(kByteGroup, 0x10 + i, 0x4E);
    }
    memory.write(kByteGroup, 0x13, 0x00);

    // Global prefix and suffix, then prefix and suffix of tracks 1 to 3: length 2 and two bytes.
    const std::uint8_t strings[8][2] = {{'C', 'R'}, {'C', 'R'},   {'T', '1'}, {0x0D, 0x0A},
                                        {'T', '2'}, {0x0D, 0x0A}, {'T', '3'}, {0x0D, 0x0A}};
    for (int s = 0; s < 8; ++s) {
        const int base = kStringTableBase + 8 * s;
        memory.write(kStringGroup, base, 2);
        memory.write(kStringGroup, base + 1, strings[s][0]);
        memory.write(kStringGroup, base + 2, strings[s][1]);
    }
    return memory;
}

bool SimMemory::isByteParameter(int address) {
    return (address >= 0x00 && address <= 0x08) || (address >= 0x10 && address <= 0x13);
}

bool SimMemory::isStringByte(int address) {
    return address >= kStringTableBase && address < kStringTableBase + kStringTableSize;
}

std::uint8_t SimMemory::read(std::uint8_t group, int address) const {
    if (group == kByteGroup && isByteParameter(address)) {
        return byteParameters_[static_cast<std::size_t>(address)];
    }
    if (group == kStringGroup && isStringByte(address)) {
        return strings_[static_cast<std::size_t>(address - kStringTableBase)];
    }
    return 0x00;
}

void SimMemory::write(std::uint8_t group, int address, std::uint8_t value) {
    if (group == kByteGroup && isByteParameter(address)) {
        byteParameters_[static_cast<std::size_t>(address)] = value;
    } else if (group == kStringGroup && isStringByte(address)) {
        strings_[static_cast<std::size_t>(address - kStringTableBase)] = value;
    }
}

std::string SimMemory::toText() const {
    std::string out = "C0";
    for (const std::uint8_t value : byteParameters_) {
        out.push_back(' ');
        appendHex(out, value);
    }
    out += "\nC1";
    for (const std::uint8_t value : strings_) {
        out.push_back(' ');
        appendHex(out, value);
    }
    out.push_back('\n');
    return out;
}

std::optional<SimMemory> SimMemory::fromText(std::string_view text) {
    SimMemory memory;
    bool haveBytes = false;
    bool haveStrings = false;
    std::size_t lineStart = 0;
    while (lineStart < text.size()) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string_view::npos) {
            lineEnd = text.size();
        }
        const std::vector<std::string_view> words =
            wordsOf(text.substr(lineStart, lineEnd - lineStart));
        lineStart = lineEnd + 1;
        if (words.empty()) {
            continue;
        }

        std::uint8_t group = 0;
        int base = 0;
        std::size_t count = 0;
        bool* seen = nullptr;
        if (words[0] == "C0" || words[0] == "c0") {
            group = kByteGroup;
            base = 0;
            count = kByteTableSize;
            seen = &haveBytes;
        } else if (words[0] == "C1" || words[0] == "c1") {
            group = kStringGroup;
            base = kStringTableBase;
            count = kStringTableSize;
            seen = &haveStrings;
        } else {
            return std::nullopt;
        }
        if (*seen || words.size() != count + 1) {
            return std::nullopt;
        }
        *seen = true;
        for (std::size_t i = 0; i < count; ++i) {
            const std::optional<std::uint8_t> value = byteOf(words[i + 1]);
            if (!value) {
                return std::nullopt;
            }
            // Through write, so the gap 0x09..0x0F of group 0xC0 stays zero whatever the file says.
            memory.write(group, base + static_cast<int>(i), *value);
        }
    }
    if (!haveBytes || !haveStrings) {
        return std::nullopt;
    }
    return memory;
}

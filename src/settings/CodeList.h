#pragma once

#include <cstdint>
#include <string>

// One string record of the settings block used as a code list: data byte 0 is the count, data
// bytes 1..7 the key codes. A count above 7 (a file may hold any byte) is treated as seven codes,
// so that nothing here reads or writes outside the record's first eight data bytes.
class CodeList {
public:
    static constexpr int kMaxCodes = 7;

    explicit CodeList(std::uint8_t* record) : record_(record) {}

    // The number of codes shown and edited: the stored count, at most 7.
    int count() const;
    // Free places, 7 - count(); never negative.
    int remaining() const { return kMaxCodes - count(); }
    bool full() const { return count() >= kMaxCodes; }
    // Code i, 1-based; i is 1..count().
    std::uint8_t code(int i) const;

    // Adds a code at the end. Refused (false) when the list is full or the code is 0.
    bool append(std::uint8_t code);
    // Takes the last code off and zeroes its byte. Refused (false) on an empty list.
    bool removeLast();

    // Codes 32..126 as their character, every other code as "{%d}".
    std::string displayText() const;

private:
    std::uint8_t* record_;
};

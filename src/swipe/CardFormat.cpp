#include "swipe/CardFormat.h"

#include <algorithm>
#include <string>

namespace {

constexpr std::size_t kMaxAccountDigits = 19;
constexpr std::size_t kMinAccountDigits = 12;
constexpr std::size_t kMaxNameLength = 26;

bool isDigit(std::uint8_t c) {
    return c >= '0' && c <= '9';
}

// The run of digits from `at`, at most `most` long: its end.
std::size_t digitsFrom(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t end,
                       std::size_t most) {
    std::size_t i = at;
    while (i < end && i - at < most && isDigit(bytes[i])) {
        ++i;
    }
    return i;
}

void addField(DecodedTrack& track, const char* name, std::size_t begin, std::size_t end) {
    if (end > begin) {
        track.fields.push_back({name, begin, end});
    }
}

// After the account number and its separator: expiry (YYMM), service code, the rest.
void readTail(std::span<const std::uint8_t> bytes, DecodedTrack& track, std::size_t at) {
    const std::size_t expiryEnd = digitsFrom(bytes, at, track.end, 4);
    if (expiryEnd - at == 4) {
        addField(track, CardFormat::kExpiry, at, expiryEnd);
        at = expiryEnd;
        const std::size_t serviceEnd = digitsFrom(bytes, at, track.end, 3);
        if (serviceEnd - at == 3) {
            addField(track, CardFormat::kServiceCode, at, serviceEnd);
            at = serviceEnd;
        }
    }
    addField(track, CardFormat::kDiscretionaryData, at, track.end);
}

// Puts the account number of [begin, end) first, with its Luhn result; nothing when it is none.
bool readAccount(std::span<const std::uint8_t> bytes, DecodedTrack& track, std::size_t begin,
                 std::size_t end) {
    if (end - begin < kMinAccountDigits || end - begin > kMaxAccountDigits ||
        digitsFrom(bytes, begin, end, kMaxAccountDigits) != end) {
        return false;
    }
    addField(track, CardFormat::kAccountNumber, begin, end);
    track.account = 0;
    const std::string digits(bytes.begin() + static_cast<std::ptrdiff_t>(begin),
                             bytes.begin() + static_cast<std::ptrdiff_t>(end));
    track.luhnValid = CardFormat::luhnValid(digits);
    return true;
}

std::size_t find(std::span<const std::uint8_t> bytes, std::size_t from, std::size_t end,
                 std::uint8_t c) {
    const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(from);
    const auto last = bytes.begin() + static_cast<std::ptrdiff_t>(end);
    return static_cast<std::size_t>(std::find(first, last, c) - bytes.begin());
}

void readTrack1(std::span<const std::uint8_t> bytes, DecodedTrack& track) {
    if (track.end - track.begin < 2 || bytes[track.begin] != 'B') {
        return;
    }
    const std::size_t accountEnd = find(bytes, track.begin + 1, track.end, '^');
    const std::size_t nameEnd =
        accountEnd < track.end ? find(bytes, accountEnd + 1, track.end, '^') : track.end;
    if (nameEnd >= track.end || nameEnd - accountEnd - 1 > kMaxNameLength ||
        !readAccount(bytes, track, track.begin + 1, accountEnd)) {
        return;
    }
    track.format = "ISO 7813 format B";
    addField(track, CardFormat::kName, accountEnd + 1, nameEnd);
    readTail(bytes, track, nameEnd + 1);
}

void readTrack2(std::span<const std::uint8_t> bytes, DecodedTrack& track) {
    const std::size_t accountEnd = find(bytes, track.begin, track.end, '=');
    if (accountEnd >= track.end || !readAccount(bytes, track, track.begin, accountEnd)) {
        return;
    }
    track.format = "ISO 7813";
    readTail(bytes, track, accountEnd + 1);
}

} // namespace

bool CardFormat::fitsTrack1(std::span<const std::uint8_t> data) {
    return std::all_of(data.begin(), data.end(),
                       [](std::uint8_t c) { return c >= 0x20 && c <= 0x5F; });
}

bool CardFormat::fitsNumericTrack(std::span<const std::uint8_t> data) {
    return std::all_of(data.begin(), data.end(),
                       [](std::uint8_t c) { return c >= 0x30 && c <= 0x3F; });
}

void CardFormat::readFields(std::span<const std::uint8_t> bytes, DecodedTrack& track) {
    track.fields.clear();
    track.account.reset();
    track.luhnValid.reset();
    track.format.clear();
    // A format is set only once its account number was read, so a track in none keeps no field.
    if (track.number == 1) {
        readTrack1(bytes, track);
    } else if (track.number == 2) {
        readTrack2(bytes, track);
    }
}

bool CardFormat::luhnValid(std::string_view digits) {
    if (digits.size() < 2) {
        return false;
    }
    int sum = 0;
    bool twice = false;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it < '0' || *it > '9') {
            return false;
        }
        int value = *it - '0';
        if (twice) {
            value = value * 2 > 9 ? value * 2 - 9 : value * 2;
        }
        sum += value;
        twice = !twice;
    }
    return sum % 10 == 0;
}

#pragma once

#include "swipe/DecodedSwipe.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

// The track formats of ISO 7813 (financial cards) and what a track's characters may be.
class CardFormat {
public:
    // Track 1 carries upper-case letters, digits and punctuation (0x20..0x5F); tracks 2 and 3
    // digits and the five signs 0x3A..0x3F.
    static bool fitsTrack1(std::span<const std::uint8_t> data);
    static bool fitsNumericTrack(std::span<const std::uint8_t> data);
    // Track 2 holds at most 37 characters between its sentinels (track 3 up to 104).
    static constexpr std::size_t kTrack2Length = 37;

    // The names of the fields a track may have, in the order they come.
    static constexpr const char* kAccountNumber = "Account number";
    static constexpr const char* kName = "Name";
    static constexpr const char* kExpiry = "Expiry";
    static constexpr const char* kServiceCode = "Service code";
    static constexpr const char* kDiscretionaryData = "Discretionary data";
    static constexpr std::array<const char*, 5> kFieldNames{kAccountNumber, kName, kExpiry,
                                                            kServiceCode, kDiscretionaryData};

    // Fills the fields of `track` from its data, which starts at `track.begin` of `bytes`:
    // format B on track 1 (account number, name, expiry, service code, discretionary data), the
    // ISO 7813 layout on track 2 (account number, expiry, service code, discretionary data).
    // Data in no such format gets no fields.
    static void readFields(std::span<const std::uint8_t> bytes, DecodedTrack& track);

    // The Luhn check of a string of digits (false for anything else, or fewer than two digits).
    static bool luhnValid(std::string_view digits);
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What a stretch of a swipe's bytes is.
enum class SwipePart {
    GlobalPrefix,  // the reader's prefix before all card data
    GlobalSuffix,  // the reader's suffix after all card data
    TrackPrefix,   // a track's own prefix
    TrackSuffix,   // a track's own suffix
    StartSentinel, // '%' or ';'
    EndSentinel,   // '?'
    Lrc,           // the check character after a track
    Data,          // a track's data
    Unrecognised,  // bytes that fit no part of the layout and no track format
};

// A stretch of bytes [begin, end) of the swipe. `track` is 1..3 for the parts of a track and 0
// for the rest.
struct SwipeSegment {
    SwipePart part;
    int track = 0;
    std::size_t begin = 0;
    std::size_t end = 0;
};

// One field of a track's data, as the card's format defines it: [begin, end) of the swipe.
struct CardField {
    std::string name; // "Account number", "Name", "Expiry", "Service code", "Discretionary data"
    std::size_t begin = 0;
    std::size_t end = 0;
};

// A track found in the swipe: its data (without sentinels and LRC) at [begin, end) of the
// swipe, and the fields of its format when it has a known one.
struct DecodedTrack {
    int number = 0;
    std::size_t begin = 0;
    std::size_t end = 0;
    bool sentinels = false; // the data came between a start and an end sentinel
    std::string format;     // "ISO 7813 format B", "ISO 7813", or empty: no known format
    std::vector<CardField> fields;
    std::optional<std::size_t> account; // index of the account number in `fields`
    std::optional<bool> luhnValid;      // set when there is an account number
};

// A swipe split into its parts. The segments cover every byte once, in order: nothing of a
// swipe is dropped, whatever it holds.
struct DecodedSwipe {
    std::vector<std::uint8_t> bytes;
    std::vector<SwipeSegment> segments;
    std::vector<DecodedTrack> tracks;
    // Per byte: whether it is one of the hidden digits of a card number (all but the first six
    // and the last four), in a field or anywhere else a number of 12 or more digits stands.
    std::vector<bool> hidden;
};

#pragma once

#include "swipe/DecodedSwipe.h"
#include "swipe/SwipeLayout.h"

#include <cstdint>
#include <span>

// Splits one swipe (the bytes a reader sends for one card) into its parts: the prefixes and
// suffixes the layout names, the tracks found by their sentinels or, without sentinels, by
// what lies between those lists and by their content, the fields of each track's format, and
// which digits of a card number are hidden unless the operator asks for them. Nothing of a
// swipe is kept or written anywhere.
class SwipeDecoder {
public:
    explicit SwipeDecoder(SwipeLayout layout = {}) : layout_(std::move(layout)) {}

    DecodedSwipe decode(std::span<const std::uint8_t> bytes) const;

private:
    struct Cursor;

    void splitMiddle(Cursor& cursor, std::size_t end) const;
    bool takeSentinelTrack(Cursor& cursor, std::size_t end) const;
    void takePlainRun(Cursor& cursor, std::size_t end) const;
    // The track whose prefix (suffix) starts at `at`, and its length; 0 when none does. A
    // suffix of the track just read wins over an equal one of another track.
    int trackPrefixAt(const Cursor& cursor, std::size_t at, std::size_t end,
                      std::size_t& length) const;
    int trackSuffixAt(const Cursor& cursor, std::size_t at, std::size_t end,
                      std::size_t& length) const;
    int plainTrackOf(const Cursor& cursor, std::uint8_t opening, std::size_t begin,
                     std::size_t end) const;
    void addTrack(Cursor& cursor, int number, std::size_t begin, std::size_t end,
                  bool sentinels) const;

    SwipeLayout layout_;
};

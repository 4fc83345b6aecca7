#pragma once

#include "swipe/DecodedSwipe.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A decoded swipe as text, for the window and for r550ctl: code text as the key pad entries
// show codes ({13}), card numbers hidden to their first six and last four digits unless
// `showNumbers` is set. The choice is the caller's for each call; nothing remembers it.
class SwipeText {
public:
    // One segment of the swipe as code text, with what it is.
    struct Piece {
        SwipePart part;
        int track;
        std::string text;
    };

    // One line of a track's description: "Account number" and "411111******1111".
    struct Row {
        std::string name;
        std::string value;
    };

    // The swipe's bytes as they may be shown: hidden digits as '*'.
    static std::vector<std::uint8_t> shownBytes(const DecodedSwipe& swipe, bool showNumbers);
    // Bytes [begin, end) of the swipe as code text.
    static std::string codes(const DecodedSwipe& swipe, std::size_t begin, std::size_t end,
                             bool showNumbers);
    // The whole swipe as code text.
    static std::string codes(const DecodedSwipe& swipe, bool showNumbers);
    // The whole swipe, segment by segment.
    static std::vector<Piece> pieces(const DecodedSwipe& swipe, bool showNumbers);
    // What a segment is, in words: "global prefix", "track 2 suffix", "start sentinel", ...
    static std::string partName(SwipePart part, int track);
    // What a segment is, as a stable word for scripts: "prefix", "track_suffix", "lrc", ...
    static std::string partWord(SwipePart part);
    // A track's heading, "Track 1, ISO 7813 format B", and its rows: data, then each field,
    // with the Luhn result after the account number.
    static std::string heading(const DecodedTrack& track);
    static std::vector<Row> rows(const DecodedSwipe& swipe, const DecodedTrack& track,
                                 bool showNumbers);
    // The swipe's code text, then an indented line per marked part and per track with its
    // fields: "  track 2, ISO 7813: data ..., account number 411111******1111, luhn check passes".
    static std::vector<std::string> lines(const DecodedSwipe& swipe, bool showNumbers);
    // "passes" or "fails": the Luhn check of an account number.
    static std::string luhnText(bool valid);
};

#pragma once

#include "swipe/DecodedSwipe.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// A decoded swipe as text, for the window and for r550ctl: codes 32..126 as their character and
// every other code as {13}, as the key pad entries show them, but a literal '{' as {123}, so that
// a swipe that holds the four characters "{13}" never reads like code 13. Card numbers are hidden
// to their first six and last four digits unless `showNumbers` is set. The choice is the
// caller's for each call; nothing remembers it.
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

    // Codes in the swipe's own text form: "{13}" is code 13 and "{123}" a brace.
    static std::string format(std::span<const std::uint8_t> codes);
    // Codes as a screen reader should say them: characters as they are, "code 13" for the rest.
    static std::string spoken(std::span<const std::uint8_t> codes);
    // The swipe's bytes as they may be shown: hidden digits as '*'.
    static std::vector<std::uint8_t> shownBytes(const DecodedSwipe& swipe, bool showNumbers);
    // Bytes [begin, end) of the swipe as code text.
    static std::string codes(const DecodedSwipe& swipe, std::size_t begin, std::size_t end,
                             bool showNumbers);
    // The whole swipe as code text.
    static std::string codes(const DecodedSwipe& swipe, bool showNumbers);
    // The whole swipe for a screen reader, each segment named: "track 2 start sentinel ;, ...,
    // suffix code 13 code 10".
    static std::string spoken(const DecodedSwipe& swipe, bool showNumbers);
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

#include "swipe/SwipeText.h"

#include <cctype>
#include <vector>

namespace {

std::string lowerFirst(std::string text) {
    if (!text.empty()) {
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    }
    return text;
}

// What each part of a swipe is called: in words for people (after "track n" where it belongs
// to a track), and as a stable word for scripts.
struct PartWords {
    SwipePart part;
    const char* name;
    const char* word;
    bool ofTrack;
};

constexpr PartWords kPartWords[] = {
    {SwipePart::GlobalPrefix, "prefix", "prefix", false},
    {SwipePart::GlobalSuffix, "suffix", "suffix", false},
    {SwipePart::TrackPrefix, "prefix", "track_prefix", true},
    {SwipePart::TrackSuffix, "suffix", "track_suffix", true},
    {SwipePart::StartSentinel, "start sentinel", "start_sentinel", true},
    {SwipePart::EndSentinel, "end sentinel", "end_sentinel", true},
    {SwipePart::Lrc, "LRC", "lrc", true},
    {SwipePart::Data, "data", "data", true},
    {SwipePart::Unrecognised, "unrecognised", "unrecognised", false},
};

const PartWords& wordsOf(SwipePart part) {
    for (const PartWords& words : kPartWords) {
        if (words.part == part) {
            return words;
        }
    }
    return kPartWords[std::size(kPartWords) - 1];
}

constexpr std::uint8_t kOpeningBrace = '{';

bool standsForItself(std::uint8_t code) {
    return code >= 32 && code <= 126 && code != kOpeningBrace;
}

// Bytes [begin, end) of the swipe, hidden digits as '*' unless the numbers are shown.
std::vector<std::uint8_t> shownRange(const DecodedSwipe& swipe, std::size_t begin, std::size_t end,
                                     bool showNumbers) {
    std::vector<std::uint8_t> shown(swipe.bytes.begin() + static_cast<std::ptrdiff_t>(begin),
                                    swipe.bytes.begin() + static_cast<std::ptrdiff_t>(end));
    for (std::size_t i = begin; i < end && !showNumbers; ++i) {
        if (swipe.hidden[i]) {
            shown[i - begin] = '*';
        }
    }
    return shown;
}

} // namespace

std::string SwipeText::format(std::span<const std::uint8_t> codes) {
    std::string text;
    for (const std::uint8_t code : codes) {
        if (standsForItself(code)) {
            text += static_cast<char>(code);
        } else {
            text += "{" + std::to_string(code) + "}";
        }
    }
    return text;
}

std::string SwipeText::spoken(std::span<const std::uint8_t> codes) {
    std::string text;
    bool inWord = false;
    for (const std::uint8_t code : codes) {
        const bool plain = standsForItself(code);
        if (!text.empty() && (!plain || !inWord)) {
            text += ' ';
        }
        text += plain ? std::string(1, static_cast<char>(code)) : "code " + std::to_string(code);
        inWord = plain;
    }
    return text;
}

std::string SwipeText::spoken(const DecodedSwipe& swipe, bool showNumbers) {
    std::string text;
    for (const SwipeSegment& segment : swipe.segments) {
        text += text.empty() ? "" : ", ";
        text += partName(segment.part, segment.track) + " " +
                spoken(shownRange(swipe, segment.begin, segment.end, showNumbers));
    }
    return text;
}

std::vector<std::uint8_t> SwipeText::shownBytes(const DecodedSwipe& swipe, bool showNumbers) {
    return shownRange(swipe, 0, swipe.bytes.size(), showNumbers);
}

std::string SwipeText::codes(const DecodedSwipe& swipe, std::size_t begin, std::size_t end,
                             bool showNumbers) {
    return format(shownRange(swipe, begin, end, showNumbers));
}

std::string SwipeText::codes(const DecodedSwipe& swipe, bool showNumbers) {
    return codes(swipe, 0, swipe.bytes.size(), showNumbers);
}

std::vector<SwipeText::Piece> SwipeText::pieces(const DecodedSwipe& swipe, bool showNumbers) {
    std::vector<Piece> pieces;
    for (const SwipeSegment& segment : swipe.segments) {
        pieces.push_back(
            {segment.part, segment.track, codes(swipe, segment.begin, segment.end, showNumbers)});
    }
    return pieces;
}

std::string SwipeText::partName(SwipePart part, int track) {
    const PartWords& words = wordsOf(part);
    return words.ofTrack ? "track " + std::to_string(track) + " " + words.name : words.name;
}

std::string SwipeText::partWord(SwipePart part) {
    return wordsOf(part).word;
}

std::string SwipeText::heading(const DecodedTrack& track) {
    std::string text = "Track " + std::to_string(track.number);
    text += track.format.empty() ? ", no known format" : ", " + track.format;
    if (!track.sentinels) {
        text += ", without sentinels";
    }
    return text;
}

std::vector<SwipeText::Row> SwipeText::rows(const DecodedSwipe& swipe, const DecodedTrack& track,
                                            bool showNumbers) {
    std::vector<Row> rows;
    rows.push_back({"Data", codes(swipe, track.begin, track.end, showNumbers)});
    for (std::size_t i = 0; i < track.fields.size(); ++i) {
        const CardField& field = track.fields[i];
        rows.push_back({field.name, codes(swipe, field.begin, field.end, showNumbers)});
        if (track.account && *track.account == i && track.luhnValid) {
            rows.push_back({"Luhn check", luhnText(*track.luhnValid)});
        }
    }
    return rows;
}

std::string SwipeText::luhnText(bool valid) {
    return valid ? "passes" : "fails";
}

std::vector<std::string> SwipeText::lines(const DecodedSwipe& swipe, bool showNumbers) {
    std::vector<std::string> lines{codes(swipe, showNumbers)};
    for (const SwipeText::Piece& piece : pieces(swipe, showNumbers)) {
        if (piece.part != SwipePart::Data && piece.part != SwipePart::StartSentinel &&
            piece.part != SwipePart::EndSentinel) {
            lines.push_back("  " + partName(piece.part, piece.track) + ": " + piece.text);
        }
    }
    for (const DecodedTrack& track : swipe.tracks) {
        std::string line = "  " + lowerFirst(heading(track)) + ":";
        const char* separator = " ";
        for (const SwipeText::Row& row : rows(swipe, track, showNumbers)) {
            line += separator + lowerFirst(row.name) + " " + row.value;
            separator = ", ";
        }
        lines.push_back(line);
    }
    return lines;
}

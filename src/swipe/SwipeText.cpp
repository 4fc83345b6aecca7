#include "swipe/SwipeText.h"

#include "settings/CodeText.h"

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

} // namespace

std::vector<std::uint8_t> SwipeText::shownBytes(const DecodedSwipe& swipe, bool showNumbers) {
    std::vector<std::uint8_t> shown = swipe.bytes;
    for (std::size_t i = 0; i < shown.size() && !showNumbers; ++i) {
        if (swipe.hidden[i]) {
            shown[i] = '*';
        }
    }
    return shown;
}

std::string SwipeText::codes(const DecodedSwipe& swipe, std::size_t begin, std::size_t end,
                             bool showNumbers) {
    std::vector<std::uint8_t> shown(swipe.bytes.begin() + static_cast<std::ptrdiff_t>(begin),
                                    swipe.bytes.begin() + static_cast<std::ptrdiff_t>(end));
    if (!showNumbers) {
        for (std::size_t i = begin; i < end; ++i) {
            if (swipe.hidden[i]) {
                shown[i - begin] = '*';
            }
        }
    }
    return CodeText::format(shown);
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

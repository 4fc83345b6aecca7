#include "swipe/SwipeDecoder.h"

#include "swipe/CardFormat.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kTrack1Start = '%';
constexpr std::uint8_t kNumericStart = ';';
constexpr std::uint8_t kEndSentinel = '?';
// A run of this many digits or more outside a field may be a card number: its middle is hidden.
constexpr std::size_t kNumberRun = 12;
constexpr std::size_t kShownFirst = 6;
constexpr std::size_t kShownLast = 4;

bool matchesAt(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t end,
               const std::vector<std::uint8_t>& codes) {
    return !codes.empty() && end - at >= codes.size() &&
           std::equal(codes.begin(), codes.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

bool printable(std::uint8_t c) {
    return c >= 0x20 && c <= 0x7E;
}

void hideMiddle(std::vector<bool>& hidden, std::size_t begin, std::size_t end) {
    for (std::size_t i = begin + kShownFirst; i + kShownLast < end; ++i) {
        hidden[i] = true;
    }
}

// Every card number shows only its first six and last four digits; so does any run of 12 or
// more digits that is not in a field of known meaning (a number in unrecognised data, on track
// 3 or in discretionary data may still be a card number).
void markHidden(DecodedSwipe& swipe) {
    const std::size_t n = swipe.bytes.size();
    swipe.hidden.assign(n, false);
    std::vector<bool> known(n, false);
    for (const DecodedTrack& track : swipe.tracks) {
        for (const CardField& field : track.fields) {
            if (field.name != CardFormat::kDiscretionaryData) {
                std::fill(known.begin() + static_cast<std::ptrdiff_t>(field.begin),
                          known.begin() + static_cast<std::ptrdiff_t>(field.end), true);
            }
        }
        if (track.account) {
            const CardField& account = track.fields[*track.account];
            hideMiddle(swipe.hidden, account.begin, account.end);
        }
    }
    std::size_t i = 0;
    while (i < n) {
        std::size_t j = i;
        while (j < n && !known[j] && swipe.bytes[j] >= '0' && swipe.bytes[j] <= '9') {
            ++j;
        }
        if (j - i >= kNumberRun) {
            hideMiddle(swipe.hidden, i, j);
        }
        i = j > i ? j : i + 1;
    }
}

// A numeric track without a prefix that names it: track 3 after track 2 or when longer than a
// track 2 may be, otherwise track 2.
int numericTrack(int lastTrack, std::span<const std::uint8_t> data) {
    return lastTrack >= 2 || data.size() > CardFormat::kTrack2Length ? 3 : 2;
}

// Neighbouring unrecognised stretches become one.
void mergeUnrecognised(std::vector<SwipeSegment>& segments) {
    std::vector<SwipeSegment> merged;
    for (const SwipeSegment& segment : segments) {
        if (!merged.empty() && segment.part == SwipePart::Unrecognised &&
            merged.back().part == SwipePart::Unrecognised && merged.back().end == segment.begin) {
            merged.back().end = segment.end;
        } else {
            merged.push_back(segment);
        }
    }
    segments = std::move(merged);
}

} // namespace

struct SwipeDecoder::Cursor {
    DecodedSwipe& swipe;
    std::size_t at = 0;
    int nextTrack = 0; // the track a prefix just announced
    int lastTrack = 0; // the track read last

    void add(SwipePart part, int track, std::size_t length) {
        if (length > 0) {
            swipe.segments.push_back({part, track, at, at + length});
            at += length;
        }
    }
    std::span<const std::uint8_t> bytes() const { return swipe.bytes; }
};

DecodedSwipe SwipeDecoder::decode(std::span<const std::uint8_t> bytes) const {
    DecodedSwipe swipe;
    swipe.bytes.assign(bytes.begin(), bytes.end());
    Cursor cursor{swipe};
    std::size_t end = bytes.size();
    if (matchesAt(bytes, 0, end, layout_.prefix)) {
        cursor.add(SwipePart::GlobalPrefix, 0, layout_.prefix.size());
    }
    const bool suffix = end - cursor.at >= layout_.suffix.size() &&
                        matchesAt(bytes, end - layout_.suffix.size(), end, layout_.suffix);
    if (suffix) {
        end -= layout_.suffix.size();
    }
    splitMiddle(cursor, end);
    if (suffix) {
        cursor.add(SwipePart::GlobalSuffix, 0, layout_.suffix.size());
    }
    mergeUnrecognised(swipe.segments);
    for (DecodedTrack& track : swipe.tracks) {
        CardFormat::readFields(swipe.bytes, track);
    }
    markHidden(swipe);
    return swipe;
}

void SwipeDecoder::splitMiddle(Cursor& cursor, std::size_t end) const {
    while (cursor.at < end) {
        std::size_t length = 0;
        if (const int track = trackPrefixAt(cursor, cursor.at, end, length); track != 0) {
            cursor.add(SwipePart::TrackPrefix, track, length);
            cursor.nextTrack = track;
            continue;
        }
        if (const int track = trackSuffixAt(cursor, cursor.at, end, length); track != 0) {
            cursor.add(SwipePart::TrackSuffix, track, length);
            cursor.nextTrack = 0;
            continue;
        }
        if (takeSentinelTrack(cursor, end)) {
            continue;
        }
        takePlainRun(cursor, end);
    }
}

bool SwipeDecoder::takeSentinelTrack(Cursor& cursor, std::size_t end) const {
    const std::span<const std::uint8_t> bytes = cursor.bytes();
    const std::uint8_t start = bytes[cursor.at];
    if (start != kTrack1Start && start != kNumericStart) {
        return false;
    }
    std::size_t close = cursor.at + 1;
    while (close < end && bytes[close] != kEndSentinel) {
        ++close;
    }
    const auto data = bytes.subspan(cursor.at + 1, close - cursor.at - 1);
    const bool fits =
        start == kTrack1Start ? CardFormat::fitsTrack1(data) : CardFormat::fitsNumericTrack(data);
    if (close >= end || !fits) {
        return false;
    }
    int track = cursor.nextTrack;
    if (track == 0) {
        track = start == kTrack1Start ? 1 : numericTrack(cursor.lastTrack, data);
    }
    cursor.add(SwipePart::StartSentinel, track, 1);
    addTrack(cursor, track, cursor.at, close, true);
    cursor.add(SwipePart::EndSentinel, track, 1);
    if (layout_.track(track).lrc && cursor.at < end) {
        cursor.add(SwipePart::Lrc, track, 1);
    }
    return true;
}

void SwipeDecoder::takePlainRun(Cursor& cursor, std::size_t end) const {
    const std::span<const std::uint8_t> bytes = cursor.bytes();
    // A start sentinel whose end sentinel is off or missing still opens the run.
    const std::uint8_t opening = bytes[cursor.at];
    const bool opened = opening == kTrack1Start || opening == kNumericStart;
    const std::size_t begin = cursor.at + (opened ? 1 : 0);
    std::size_t stop = begin;
    std::size_t length = 0;
    while (stop < end && printable(bytes[stop]) && bytes[stop] != kTrack1Start &&
           bytes[stop] != kNumericStart && trackPrefixAt(cursor, stop, end, length) == 0 &&
           trackSuffixAt(cursor, stop, end, length) == 0) {
        ++stop;
    }
    const int track = stop > begin ? plainTrackOf(cursor, opened ? opening : 0, begin, stop) : 0;
    if (track == 0) {
        cursor.add(SwipePart::Unrecognised, 0, std::max<std::size_t>(stop - cursor.at, 1));
        return;
    }
    if (opened) {
        cursor.add(SwipePart::StartSentinel, track, 1);
    }
    // Without an end sentinel the LRC follows the data at once: a control code where the run
    // stopped, or else its last character.
    const bool lrc = layout_.track(track).lrc;
    const bool controlLrc = lrc && stop < end && !printable(bytes[stop]);
    const std::size_t dataEnd = lrc && !controlLrc && stop - begin > 1 ? stop - 1 : stop;
    addTrack(cursor, track, begin, dataEnd, false);
    if (lrc && (controlLrc || dataEnd < stop)) {
        cursor.add(SwipePart::Lrc, track, 1);
    }
}

int SwipeDecoder::plainTrackOf(const Cursor& cursor, std::uint8_t opening, std::size_t begin,
                               std::size_t end) const {
    const std::span<const std::uint8_t> data = cursor.bytes().subspan(begin, end - begin);
    if (cursor.nextTrack != 0) {
        return cursor.nextTrack;
    }
    const bool hasEquals = std::find(data.begin(), data.end(), '=') != data.end();
    const bool hasCaret = std::find(data.begin(), data.end(), '^') != data.end();
    const bool numeric = CardFormat::fitsNumericTrack(data) && cursor.lastTrack < 3;
    if (opening == kTrack1Start) {
        return CardFormat::fitsTrack1(data) ? 1 : 0;
    }
    if (opening == kNumericStart) {
        return numeric ? numericTrack(cursor.lastTrack, data) : 0;
    }
    if (cursor.lastTrack < 1 && data[0] >= 'A' && data[0] <= 'Z' && hasCaret &&
        CardFormat::fitsTrack1(data)) {
        return 1;
    }
    // Without sentinels, a numeric track must show its separator or a track 3's length.
    if (!numeric || (!hasEquals && data.size() <= CardFormat::kTrack2Length)) {
        return 0;
    }
    return numericTrack(cursor.lastTrack, data);
}

int SwipeDecoder::trackPrefixAt(const Cursor& cursor, std::size_t at, std::size_t end,
                                std::size_t& length) const {
    int found = 0;
    for (int track = 1; track <= 3; ++track) {
        const std::vector<std::uint8_t>& codes = layout_.track(track).prefix;
        if (codes.size() > length && matchesAt(cursor.bytes(), at, end, codes)) {
            found = track;
            length = codes.size();
        }
    }
    return found;
}

int SwipeDecoder::trackSuffixAt(const Cursor& cursor, std::size_t at, std::size_t end,
                                std::size_t& length) const {
    int found = 0;
    for (int track = 1; track <= 3; ++track) {
        const std::vector<std::uint8_t>& codes = layout_.track(track).suffix;
        const bool longer = codes.size() > length;
        const bool preferred = codes.size() == length && track == cursor.lastTrack;
        if ((longer || preferred) && matchesAt(cursor.bytes(), at, end, codes)) {
            found = track;
            length = codes.size();
        }
    }
    return found;
}

void SwipeDecoder::addTrack(Cursor& cursor, int number, std::size_t begin, std::size_t end,
                            bool sentinels) const {
    DecodedTrack track;
    track.number = number;
    track.begin = begin;
    track.end = end;
    track.sentinels = sentinels;
    cursor.swipe.tracks.push_back(track);
    cursor.add(SwipePart::Data, number, end - begin);
    cursor.lastTrack = number;
    cursor.nextTrack = 0;
}

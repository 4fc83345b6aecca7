// Arbitrary swipes under arbitrary layouts: the first bytes pick the layout (which lists are
// sent, their codes, LRC), the rest is the swipe. Every byte lands in exactly one
// segment in order, a track's data and fields lie inside the swipe, the text with numbers shown
// is the swipe's code text, and an account number never shows more than ten digits when hidden.
#include "settings/CodeText.h"
#include "swipe/SwipeDecoder.h"
#include "swipe/SwipeText.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// A code list from the front of the input: a length 0..3, then that many codes.
std::vector<std::uint8_t> takeList(std::span<const std::uint8_t>& input) {
    if (input.empty()) {
        return {};
    }
    const std::size_t count = std::min<std::size_t>(input[0] % 4, input.size() - 1);
    const std::vector<std::uint8_t> codes(input.begin() + 1, input.begin() + 1 + long(count));
    input = input.subspan(count + 1);
    return codes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> input(data, size);
    SwipeLayout layout;
    layout.prefix = takeList(input);
    layout.suffix = takeList(input);
    for (SwipeLayout::Track& track : layout.tracks) {
        track.lrc = !input.empty() && input[0] >= 0x80;
        track.prefix = takeList(input);
        track.suffix = takeList(input);
    }
    const DecodedSwipe swipe = SwipeDecoder(layout).decode(input);

    std::size_t at = 0;
    for (const SwipeSegment& segment : swipe.segments) {
        check(segment.begin == at && segment.end > segment.begin);
        at = segment.end;
    }
    check(at == input.size());
    // The swipe's text gives back every byte: a brace as {123} never reads as the start of a code.
    const std::optional<std::vector<std::uint8_t>> read =
        CodeText::parse(SwipeText::codes(swipe, true), CodeText::Mode::Lenient);
    check(read && std::equal(read->begin(), read->end(), input.begin(), input.end()));
    for (const DecodedTrack& track : swipe.tracks) {
        check(track.number >= 1 && track.number <= 3);
        check(track.begin <= track.end && track.end <= input.size());
        for (const CardField& field : track.fields) {
            check(field.begin >= track.begin && field.end <= track.end);
        }
        if (track.account) {
            const CardField& account = track.fields.at(*track.account);
            const std::string shown = SwipeText::codes(swipe, account.begin, account.end, false);
            check(std::count_if(shown.begin(), shown.end(),
                                [](char c) { return c >= '0' && c <= '9'; }) <= 10);
        }
    }
    return 0;
}

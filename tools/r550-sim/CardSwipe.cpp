#include "CardSwipe.h"

#include "swipe/SwipeDecoder.h"

namespace {

constexpr std::uint8_t kMsrFlags = 0x08;
constexpr std::uint8_t kTrackFlags = 0x05; // + track - 1
constexpr int kStringBase = 0x10;
constexpr int kStringSize = 8;
constexpr int kMaxCodes = 7;

// Bits of the MSR and track flags.
constexpr std::uint8_t kSendPrefix = 0x40;
constexpr std::uint8_t kSendSuffix = 0x20;
constexpr std::uint8_t kStartSentinel = 0x10;
constexpr std::uint8_t kEndSentinel = 0x08;
constexpr std::uint8_t kLrc = 0x04;
constexpr std::uint8_t kSwipeDirections = 0x03;
constexpr std::uint8_t kEnableMsr = 0x01;

// String i of the memory: 0 global prefix, 1 global suffix, then prefix and suffix of each track.
void appendString(std::vector<std::uint8_t>& out, const SimMemory& memory, int index) {
    const int base = kStringBase + kStringSize * index;
    const int count = std::min<int>(memory.read(SimMemory::kStringGroup, base), kMaxCodes);
    for (int i = 1; i <= count; ++i) {
        out.push_back(memory.read(SimMemory::kStringGroup, base + i));
    }
}

} // namespace

bool CardSwipe::setTracks(std::span<const std::uint8_t> tracks) {
    tracks_.clear();
    const DecodedSwipe decoded = SwipeDecoder().decode(tracks);
    for (const DecodedTrack& track : decoded.tracks) {
        if (track.sentinels) {
            tracks_.push_back({track.number, std::vector<std::uint8_t>(
                                                 tracks.begin() + static_cast<long>(track.begin),
                                                 tracks.begin() + static_cast<long>(track.end))});
        }
    }
    return !tracks_.empty();
}

std::vector<std::uint8_t> CardSwipe::shape(const SimMemory& memory) const {
    std::vector<std::uint8_t> out;
    const std::uint8_t msr = memory.read(SimMemory::kByteGroup, kMsrFlags);
    if ((msr & kEnableMsr) == 0) {
        return out;
    }
    if (msr & kSendPrefix) {
        appendString(out, memory, 0);
    }
    for (const Track& track : tracks_) {
        const std::uint8_t flags =
            memory.read(SimMemory::kByteGroup, kTrackFlags + track.number - 1);
        if ((flags & kSwipeDirections) == 0) {
            continue;
        }
        if (flags & kSendPrefix) {
            appendString(out, memory, 2 * track.number);
        }
        std::vector<std::uint8_t> framed{track.number == 1 ? std::uint8_t('%') : std::uint8_t(';')};
        framed.insert(framed.end(), track.data.begin(), track.data.end());
        framed.push_back('?');
        if (flags & kStartSentinel) {
            out.push_back(framed.front());
        }
        out.insert(out.end(), track.data.begin(), track.data.end());
        if (flags & kEndSentinel) {
            out.push_back('?');
        }
        if (flags & kLrc) {
            out.push_back(lrc(track.number, framed));
        }
        if (flags & kSendSuffix) {
            appendString(out, memory, 2 * track.number + 1);
        }
    }
    if (msr & kSendSuffix) {
        appendString(out, memory, 1);
    }
    return out;
}

std::uint8_t CardSwipe::lrc(int track, std::span<const std::uint8_t> data) {
    const std::uint8_t base = track == 1 ? 0x20 : 0x30;
    const std::uint8_t mask = track == 1 ? 0x3F : 0x0F;
    std::uint8_t sum = 0;
    for (const std::uint8_t c : data) {
        sum ^= static_cast<std::uint8_t>((c - base) & mask);
    }
    return static_cast<std::uint8_t>(sum + base);
}

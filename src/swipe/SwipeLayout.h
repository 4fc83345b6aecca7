#pragma once

#include <array>
#include <cstdint>
#include <vector>

class SettingsImage;

// What the reader's settings put around the card data of a swipe: the code lists it sends and
// the sentinels and LRC of each track. A list that is configured but not switched on is empty
// here, since the reader does not send it. An empty layout (nothing known) is valid: a swipe is
// then split by its sentinels and its content alone.
struct SwipeLayout {
    struct Track {
        bool enabled = true;
        std::vector<std::uint8_t> prefix;
        std::vector<std::uint8_t> suffix;
        bool startSentinel = true;
        bool endSentinel = true;
        bool lrc = false;
    };

    std::vector<std::uint8_t> prefix; // global, before everything
    std::vector<std::uint8_t> suffix; // global, after everything
    std::array<Track, 3> tracks;      // tracks 1..3 at 0..2

    const Track& track(int number) const { return tracks.at(static_cast<std::size_t>(number - 1)); }

    // The layout the settings block describes, read through the table of named settings
    // ("msr.send_prefix", "msr.prefix", "track2.end_sentinel" ...).
    static SwipeLayout fromSettings(const SettingsImage& image);
};

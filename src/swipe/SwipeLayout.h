#pragma once

#include <array>
#include <cstdint>
#include <vector>

class SettingsImage;

// What the reader's settings put around the card data of a swipe: the code lists it sends and
// whether each track ends with an LRC. Sentinels need no setting: they are found as they come. A
// list that is configured but not switched on is empty here, since the reader does not send it.
// An empty layout (nothing known) is valid: a swipe is then split by its sentinels and its
// content alone.
struct SwipeLayout {
    struct Track {
        std::vector<std::uint8_t> prefix;
        std::vector<std::uint8_t> suffix;
        bool lrc = false;
    };

    std::vector<std::uint8_t> prefix; // global, before everything
    std::vector<std::uint8_t> suffix; // global, after everything
    std::array<Track, 3> tracks;      // tracks 1..3 at 0..2

    const Track& track(int number) const { return tracks.at(static_cast<std::size_t>(number - 1)); }

    // The layout the settings block describes, read through the table of named settings
    // ("msr.send_prefix", "msr.prefix", "track2.lrc_sentinel" ...).
    static SwipeLayout fromSettings(const SettingsImage& image);
};

#pragma once

#include "SimMemory.h"

#include <cstdint>
#include <span>
#include <vector>

// What the simulated reader sends when a card is swiped, shaped by the settings in its memory.
// The order is the simulator's own assumption, not the reader's documented behaviour:
//   global prefix (when sent), then for each track of the card that is read (either swipe
//   direction on): its prefix (when sent), start sentinel (when on), data, end sentinel (when
//   on), LRC (when on), its suffix (when sent); then the global suffix (when sent).
// Nothing at all while "Enable MSR" is off.
class CardSwipe {
public:
    // The card's tracks as raw data with their sentinels: "%...?" track 1, ";...?" track 2
    // or 3. False when it holds no track.
    bool setTracks(std::span<const std::uint8_t> tracks);

    std::vector<std::uint8_t> shape(const SimMemory& memory) const;

    // The LRC of a track as the simulator computes it: the XOR of the characters from start
    // to end sentinel in the track's own bits (six on track 1, four on tracks 2 and 3), as a
    // character of that track.
    static std::uint8_t lrc(int track, std::span<const std::uint8_t> data);

private:
    struct Track {
        int number;
        std::vector<std::uint8_t> data; // without sentinels
    };

    std::vector<Track> tracks_;
};

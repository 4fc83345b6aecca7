#include "CardSwipe.h"

#include "SimMemory.h"
#include "settings/CodeText.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr const char* kCard = "%B4111111111111111^TEST/CARD^2512101?;4111111111111111=2512101?";

struct Case {
    const char* what;
    std::string sent;
    std::vector<std::array<int, 3>> writes = {}; // group, address, value over the factory memory
};

const Case kCases[] = {
    {"factory values: each track and its suffix {13}{10}",
     "B4111111111111111^TEST/CARD^2512101{13}{10}4111111111111111=2512101{13}{10}"},
    {"global prefix and suffix, track 1 prefix, sentinels and LRC on track 1, track 2 not read",
     "{2}T1%B4111111111111111^TEST/CARD^2512101?D{13}{10}CR",
     {{0xC0, 0x08, 0x83 | 0x40 | 0x20},
      {0xC0, 0x05, 0xA3 | 0x40 | 0x10 | 0x08 | 0x04},
      {0xC0, 0x06, 0xA0},
      {0xC1, 0x10, 1},
      {0xC1, 0x11, 0x02}}},
    {"end sentinel and LRC on track 2 only",
     "B4111111111111111^TEST/CARD^2512101{13}{10}4111111111111111=2512101?8",
     {{0xC0, 0x06, 0x8B | 0x04}}},
    {"MSR off", "", {{0xC0, 0x08, 0x82}}},
};

TEST(CardSwipe, SendsTheTracksShapedByTheMemory) {
    CardSwipe card;
    ASSERT_TRUE(card.setTracks(*CodeText::parse(kCard, CodeText::Mode::Lenient)));
    for (const Case& c : kCases) {
        SimMemory memory = SimMemory::factory();
        for (const auto& [group, address, value] : c.writes) {
            memory.write(std::uint8_t(group), address, std::uint8_t(value));
        }
        EXPECT_EQ(CodeText::format(card.shape(memory)), c.sent) << c.what;
    }
    EXPECT_FALSE(card.setTracks(*CodeText::parse("no sentinels here", CodeText::Mode::Lenient)));
}

} // namespace

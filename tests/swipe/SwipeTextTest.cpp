#include "swipe/SwipeText.h"

#include "swipe/SwipeDecoder.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

// A swipe's own text form tells a typed "{13}" from code 13, where the pages' form cannot; a
// screen reader hears each code that has no character by its number.
TEST(SwipeText, ABraceTypedInASwipeDiffersFromACode) {
    const struct {
        std::string bytes;
        std::string shown;
        std::string spoken;
    } cases[] = {
        {"{13}", "{123}13}", "code 123 13}"},
        {"\r", "{13}", "code 13"},
        {";12=3?\r\n", ";12=3?{13}{10}", ";12=3? code 13 code 10"},
        {"a{", "a{123}", "a code 123"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SwipeText::format(bytesOf(c.bytes)), c.shown) << c.bytes;
        EXPECT_EQ(SwipeText::spoken(bytesOf(c.bytes)), c.spoken) << c.bytes;
    }
    // Part by part, the card number hidden as on the screen.
    const DecodedSwipe swipe = SwipeDecoder().decode(bytesOf(";4111111111111111=2512?{13}"));
    EXPECT_EQ(SwipeText::spoken(swipe, false),
              "track 2 start sentinel ;, track 2 data 411111******1111=2512, track 2 end sentinel "
              "?, unrecognised code 123 13}");
}

} // namespace

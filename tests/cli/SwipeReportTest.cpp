#include "cli/SwipeReport.h"

#include "settings/CodeText.h"
#include "swipe/SwipeDecoder.h"

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// A reader at factory values: no sentinels, each track followed by {13}{10}.
const DecodedSwipe kSwipe = SwipeDecoder().decode(
    *CodeText::parse("B4111111111111111^TEST/CARD^2512101{13}{10}4111111111111111=2512101{13}{10}",
                     CodeText::Mode::Lenient));

TEST(SwipeReport, JsonHidesTheNumberUnlessAsked) {
    nlohmann::ordered_json object;
    SwipeReport::addJson(object, kSwipe, false);
    EXPECT_EQ(object.dump().find("4111111111111111"), std::string::npos) << object.dump();
    EXPECT_EQ(object["hex"].get<std::string>().substr(0, 23), "42 34 31 31 31 31 31 2A");
    ASSERT_EQ(object["tracks"].size(), 2u);
    EXPECT_EQ(object["tracks"][0]["name"], "TEST/CARD");
    EXPECT_EQ(object["tracks"][1]["name"], nullptr);
    EXPECT_EQ(object["tracks"][1]["luhn_valid"], true);
    EXPECT_EQ(object["parts"][0]["part"], "unrecognised");

    nlohmann::ordered_json shown;
    SwipeReport::addJson(shown, kSwipe, true);
    EXPECT_EQ(shown["tracks"][1]["account_number"], "4111111111111111");
}

} // namespace

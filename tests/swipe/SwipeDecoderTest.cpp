#include "swipe/SwipeDecoder.h"

#include "settings/CodeText.h"
#include "support/FactorySettings.h"
#include "swipe/SwipeLayout.h"
#include "swipe/SwipeText.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// The layout of a reader at factory values (each track followed by {13}{10}, no sentinels),
// changed by name=value assignments.
SwipeLayout layoutWith(const std::vector<std::string>& assignments) {
    return SwipeLayout::fromSettings(factorySettingsWith(assignments));
}

// Card data in square brackets with what it is; track data as it stands.
std::string marked(const DecodedSwipe& swipe, bool showNumbers) {
    std::string text;
    for (const SwipeText::Piece& piece : SwipeText::pieces(swipe, showNumbers)) {
        text += piece.part == SwipePart::Data
                    ? piece.text
                    : "[" + SwipeText::partName(piece.part, piece.track) + " " + piece.text + "]";
    }
    return text;
}

std::string described(const DecodedSwipe& swipe, bool showNumbers) {
    std::string text;
    for (const DecodedTrack& track : swipe.tracks) {
        text += (text.empty() ? "" : " | ") + SwipeText::heading(track);
        for (const SwipeText::Row& row : SwipeText::rows(swipe, track, showNumbers)) {
            if (row.name != "Data") {
                text += "; " + row.name + "=" + row.value;
            }
        }
    }
    return text;
}

struct Case {
    const char* format;
    std::string swipe; // code text
    std::string marked;
    std::string tracks;
    std::vector<std::string> settings = {}; // over the factory values
};

const Case kCases[] = {
    {"track 1 format B", "%B4111111111111111^TEST/CARD^2512101?{13}{10}",
     "[track 1 start sentinel %]B411111******1111^TEST/CARD^2512101[track 1 end sentinel ?]"
     "[track 1 suffix {13}{10}]",
     "Track 1, ISO 7813 format B; Account number=411111******1111; Luhn check=passes; "
     "Name=TEST/CARD; Expiry=2512; Service code=101"},
    {"track 2", ";4111111111111111=25121010000000000000?{13}{10}",
     "[track 2 start sentinel ;]411111******1111=2512101000000***0000[track 2 end sentinel ?]"
     "[track 2 suffix {13}{10}]",
     "Track 2, ISO 7813; Account number=411111******1111; Luhn check=passes; Expiry=2512; "
     "Service code=101; Discretionary data=000000***0000"},
    {"track 3", ";014111111111111111=7247241000000000000303000000404000990?",
     "[track 3 start sentinel ;]014111********1111=724724***************************0990"
     "[track 3 end sentinel ?]",
     "Track 3, no known format"},
    {"all three tracks, each with its LRC",
     "%B4111111111111111^TEST/CARD^2512101?x;4111111111111111=2512101?{5};0123=45?{1}",
     "[track 1 start sentinel %]B411111******1111^TEST/CARD^2512101[track 1 end sentinel ?]"
     "[track 1 LRC x][track 2 start sentinel ;]411111******1111=2512101[track 2 end sentinel ?]"
     "[track 2 LRC {5}][track 3 start sentinel ;]0123=45[track 3 end sentinel ?][track 3 LRC {1}]",
     "Track 1, ISO 7813 format B; Account number=411111******1111; Luhn check=passes; "
     "Name=TEST/CARD; Expiry=2512; Service code=101 | Track 2, ISO 7813; Account "
     "number=411111******1111; Luhn check=passes; Expiry=2512; Service code=101 | Track 3, no "
     "known format",
     {"track1.lrc_sentinel=on", "track2.lrc_sentinel=on", "track3.lrc_sentinel=on",
      "track1.send_suffix=off", "track2.send_suffix=off", "track3.send_suffix=off"}},
    {"prefix and suffix marked",
     "{2}T1B4111111111111111^TEST/CARD^2512101{13}{10}T24111111111111111=2512101!{13}{10}",
     "[prefix {2}][track 1 prefix T1]B411111******1111^TEST/CARD^2512101[track 1 suffix {13}{10}]"
     "[track 2 prefix T2]411111******1111=2512101[track 2 suffix !][suffix {13}{10}]",
     "Track 1, ISO 7813 format B, without sentinels; Account number=411111******1111; Luhn "
     "check=passes; Name=TEST/CARD; Expiry=2512; Service code=101 | Track 2, ISO 7813, without "
     "sentinels; Account number=411111******1111; Luhn check=passes; Expiry=2512; Service "
     "code=101",
     {"msr.send_prefix=on", "msr.prefix={2}", "msr.send_suffix=on", "msr.suffix={13}{10}",
      "track1.send_prefix=on", "track2.send_prefix=on", "track2.suffix=!"}},
    {"sentinels off, as at factory values",
     "B4111111111111111^TEST/CARD^2512101{13}{10}4111111111111111=2512101{13}{10}",
     "B411111******1111^TEST/CARD^2512101[track 1 suffix {13}{10}]411111******1111=2512101"
     "[track 2 suffix {13}{10}]",
     "Track 1, ISO 7813 format B, without sentinels; Account number=411111******1111; Luhn "
     "check=passes; Name=TEST/CARD; Expiry=2512; Service code=101 | Track 2, ISO 7813, without "
     "sentinels; Account number=411111******1111; Luhn check=passes; Expiry=2512; Service "
     "code=101"},
    {"bad Luhn", ";4111111111111112=2512101?",
     "[track 2 start sentinel ;]411111******1112=2512101[track 2 end sentinel ?]",
     "Track 2, ISO 7813; Account number=411111******1112; Luhn check=fails; Expiry=2512; "
     "Service code=101"},
    {"garbage", "hello{0}{255}%world?;x 4111111111111111 ok",
     "[unrecognised hello{0}{255}%world?;x 411111******1111 ok]", ""},
    {"empty", "", "", ""},
};

TEST(SwipeDecoder, SplitsEachFormatIntoTracksAndFieldsWithNumbersHidden) {
    for (const Case& c : kCases) {
        const DecodedSwipe swipe = SwipeDecoder(layoutWith(c.settings))
                                       .decode(*CodeText::parse(c.swipe, CodeText::Mode::Lenient));
        EXPECT_EQ(marked(swipe, false), c.marked) << c.format;
        EXPECT_EQ(described(swipe, false), c.tracks) << c.format;
    }
}

TEST(SwipeText, LinesHideTheNumberUnlessAsked) {
    // A reader at factory values: no sentinels, each track followed by {13}{10}.
    const DecodedSwipe swipe = SwipeDecoder().decode(*CodeText::parse(
        "B4111111111111111^TEST/CARD^2512101{13}{10}4111111111111111=2512101{13}{10}",
        CodeText::Mode::Lenient));
    const std::vector<std::string> hidden = SwipeText::lines(swipe, false);
    ASSERT_EQ(hidden.size(), 5u);
    EXPECT_EQ(hidden[1], "  unrecognised: {13}{10}");
    EXPECT_EQ(hidden[4], "  track 2, ISO 7813, without sentinels: data 411111******1111=2512101, "
                         "account number 411111******1111, luhn check passes, expiry 2512, "
                         "service code 101");
    EXPECT_EQ(SwipeText::lines(swipe, true)[0].find("4111111111111111"), 1u);
}

TEST(SwipeDecoder, ReadsASwipeOf4096Bytes) {
    const std::string card = "%B4111111111111111^TEST/CARD^2512101?";
    std::string text;
    while (text.size() + card.size() <= 4096) {
        text += card;
    }
    text.append(4096 - text.size(), '0');
    const DecodedSwipe swipe =
        SwipeDecoder(layoutWith({})).decode(*CodeText::parse(text, CodeText::Mode::Lenient));
    ASSERT_EQ(swipe.bytes.size(), 4096u);
    EXPECT_EQ(swipe.tracks.size(), 4096 / card.size());
    const std::string shown = SwipeText::codes(swipe, false);
    EXPECT_EQ(shown.find("4111111111111111"), std::string::npos);
    EXPECT_EQ(SwipeText::codes(swipe, true), text);
    EXPECT_EQ(shown.substr(shown.size() - (4096 % card.size())).find_first_of('*'), 6u);
}

} // namespace

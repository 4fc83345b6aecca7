#include "swipe/SwipeDecoder.h"

#include "settings/CodeText.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingText.h"
#include "settings/SettingsImage.h"
#include "swipe/SwipeLayout.h"
#include "swipe/SwipeText.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// The layout of a reader at factory values (each track followed by {13}{10}, no sentinels),
// changed by name=value assignments.
SwipeLayout layoutWith(const std::vector<std::string>& assignments) {
    SettingsImage image;
    writeFactoryValues(image);
    for (const std::string& assignment : assignments) {
        const std::size_t equals = assignment.find('=');
        std::string error;
        EXPECT_EQ(
            writeSetting(image, assignment.substr(0, equals), assignment.substr(equals + 1), error),
            SettingStatus::Ok)
            << error;
    }
    return SwipeLayout::fromSettings(image);
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

const std::vector<std::string> kSentinels = {"track1.start_sentinel=on", "track1.end_sentinel=on",
                                             "track2.start_sentinel=on", "track2.end_sentinel=on",
                                             "track3.start_sentinel=on", "track3.end_sentinel=on"};

std::vector<std::string> with(std::vector<std::string> base, const std::vector<std::string>& more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
}

struct Case {
    const char* format;
    std::vector<std::string> settings;
    std::string swipe; // code text
    bool showNumbers;
    std::string marked;
    std::string tracks;
};

const Case kCases[] = {
    {"track 1 format B", kSentinels, "%B4111111111111111^TEST/CARD^2512101?{13}{10}", false,
     "[track 1 start sentinel %]B411111******1111^TEST/CARD^2512101[track 1 end sentinel ?]"
     "[track 1 suffix {13}{10}]",
     "Track 1, ISO 7813 format B; Account number=411111******1111; Luhn check=passes; "
     "Name=TEST/CARD; Expiry=2512; Service code=101"},
    {"track 1 format B, numbers shown", kSentinels, "%B4111111111111111^TEST/CARD^2512101?", true,
     "[track 1 start sentinel %]B4111111111111111^TEST/CARD^2512101[track 1 end sentinel ?]",
     "Track 1, ISO 7813 format B; Account number=4111111111111111; Luhn check=passes; "
     "Name=TEST/CARD; Expiry=2512; Service code=101"},
    {"track 2", kSentinels, ";4111111111111111=25121010000000000000?{13}{10}", false,
     "[track 2 start sentinel ;]411111******1111=2512101000000***0000[track 2 end sentinel ?]"
     "[track 2 suffix {13}{10}]",
     "Track 2, ISO 7813; Account number=411111******1111; Luhn check=passes; Expiry=2512; "
     "Service code=101; Discretionary data=000000***0000"},
    {"track 3", kSentinels, ";014111111111111111=7247241000000000000303000000404000990?", false,
     "[track 3 start sentinel ;]014111********1111=724724***************************0990"
     "[track 3 end sentinel ?]",
     "Track 3, no known format"},
    {"all three tracks, each with its LRC",
     with(kSentinels,
          {"track1.lrc_sentinel=on", "track2.lrc_sentinel=on", "track3.lrc_sentinel=on",
           "track1.send_suffix=off", "track2.send_suffix=off", "track3.send_suffix=off"}),
     "%B4111111111111111^TEST/CARD^2512101?x;4111111111111111=2512101?{5};0123=45?{1}", false,
     "[track 1 start sentinel %]B411111******1111^TEST/CARD^2512101[track 1 end sentinel ?]"
     "[track 1 LRC x][track 2 start sentinel ;]411111******1111=2512101[track 2 end sentinel ?]"
     "[track 2 LRC {5}][track 3 start sentinel ;]0123=45[track 3 end sentinel ?][track 3 LRC {1}]",
     "Track 1, ISO 7813 format B; Account number=411111******1111; Luhn check=passes; "
     "Name=TEST/CARD; Expiry=2512; Service code=101 | Track 2, ISO 7813; Account "
     "number=411111******1111; Luhn check=passes; Expiry=2512; Service code=101 | Track 3, no "
     "known format"},
    {"prefix and suffix marked",
     {"msr.send_prefix=on", "msr.prefix={2}", "msr.send_suffix=on", "msr.suffix={13}{10}",
      "track1.send_prefix=on", "track2.send_prefix=on", "track2.suffix=!"},
     "{2}T1B4111111111111111^TEST/CARD^2512101{13}{10}T24111111111111111=2512101!{13}{10}",
     false,
     "[prefix {2}][track 1 prefix T1]B411111******1111^TEST/CARD^2512101[track 1 suffix {13}{10}]"
     "[track 2 prefix T2]411111******1111=2512101[track 2 suffix !][suffix {13}{10}]",
     "Track 1, ISO 7813 format B, without sentinels; Account number=411111******1111; Luhn "
     "check=passes; Name=TEST/CARD; Expiry=2512; Service code=101 | Track 2, ISO 7813, without "
     "sentinels; Account number=411111******1111; Luhn check=passes; Expiry=2512; Service "
     "code=101"},
    {"sentinels off, as at factory values",
     {},
     "B4111111111111111^TEST/CARD^2512101{13}{10}4111111111111111=2512101{13}{10}",
     false,
     "B411111******1111^TEST/CARD^2512101[track 1 suffix {13}{10}]411111******1111=2512101"
     "[track 2 suffix {13}{10}]",
     "Track 1, ISO 7813 format B, without sentinels; Account number=411111******1111; Luhn "
     "check=passes; Name=TEST/CARD; Expiry=2512; Service code=101 | Track 2, ISO 7813, without "
     "sentinels; Account number=411111******1111; Luhn check=passes; Expiry=2512; Service "
     "code=101"},
    {"bad Luhn", kSentinels, ";4111111111111112=2512101?", false,
     "[track 2 start sentinel ;]411111******1112=2512101[track 2 end sentinel ?]",
     "Track 2, ISO 7813; Account number=411111******1112; Luhn check=fails; Expiry=2512; "
     "Service code=101"},
    {"garbage", kSentinels, "hello{0}{255}%world?;x 4111111111111111 ok", false,
     "[unrecognised hello{0}{255}%world?;x 411111******1111 ok]", ""},
    {"empty", kSentinels, "", false, "", ""},
};

TEST(SwipeDecoder, SplitsEachFormatIntoTracksAndFieldsWithNumbersHidden) {
    for (const Case& c : kCases) {
        const DecodedSwipe swipe =
            SwipeDecoder(layoutWith(c.settings)).decode(*CodeText::parse(c.swipe));
        EXPECT_EQ(marked(swipe, c.showNumbers), c.marked) << c.format;
        EXPECT_EQ(described(swipe, c.showNumbers), c.tracks) << c.format;
        // Every byte is in exactly one segment, in order: nothing is dropped.
        std::size_t at = 0;
        for (const SwipeSegment& segment : swipe.segments) {
            EXPECT_EQ(segment.begin, at) << c.format;
            at = segment.end;
        }
        EXPECT_EQ(at, swipe.bytes.size()) << c.format;
    }
}

TEST(SwipeDecoder, ReadsASwipeOf4096Bytes) {
    const std::string card = "%B4111111111111111^TEST/CARD^2512101?";
    std::string text;
    while (text.size() + card.size() <= 4096) {
        text += card;
    }
    text.append(4096 - text.size(), '0');
    const DecodedSwipe swipe = SwipeDecoder(layoutWith(kSentinels)).decode(*CodeText::parse(text));
    ASSERT_EQ(swipe.bytes.size(), 4096u);
    EXPECT_EQ(swipe.tracks.size(), 4096 / card.size());
    const std::string shown = SwipeText::codes(swipe, false);
    EXPECT_EQ(shown.find("4111111111111111"), std::string::npos);
    EXPECT_EQ(SwipeText::codes(swipe, true), text);
    EXPECT_EQ(shown.substr(shown.size() - (4096 % card.size())).find_first_of('*'), 6u);
}

} // namespace

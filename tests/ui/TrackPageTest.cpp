#include "support/MsrPagesFixture.h"
#include "support/SettingsByName.h"
#include "ui/KeyPad.h"

#include <QAbstractButton>
#include <QApplication>

namespace {

using Target = CodeListPanel::KeyPadTarget;

// The eight check boxes of a track page, with their bits.
constexpr Bit kTrackBits[] = {{"1300", 0x80}, {"1301", 0x40}, {"1302", 0x20}, {"1303", 0x10},
                              {"1304", 0x08}, {"1307", 0x04}, {"1305", 0x02}, {"1306", 0x01}};

constexpr const char* kKeyPad[] = {"keyPadGroup", "2012", "2000", "2001", "2002", "2003", "2004",
                                   "2005",        "2006", "2007", "2008", "2009", "2010", "2011"};

class TrackPageTest : public MsrPagesFixture {
protected:
    bool checked(const char* id) { return control<QAbstractButton>(id)->isChecked(); }
    void pressDigits(const char* digits) {
        for (const char* d = digits; *d != 0; ++d) {
            const QByteArray id = QByteArray::number(2000 + (*d - '0'));
            click(id.constData());
        }
    }
};

TEST_F(TrackPageTest, ShowsFactoryValuesOnTrack1) {
    openTrack(1);
    for (const Bit& b : kTrackBits) {
        EXPECT_TRUE(shown(b.id)) << b.id;
        EXPECT_EQ(checked(b.id), (0xA3 & b.bit) != 0) << b.id;
    }
    EXPECT_EQ(control<QAbstractButton>("1305")->text(), "TK1 swipe from left to right");
    EXPECT_EQ(control<QAbstractButton>("1306")->text(), "TK1 swipe from right to left");
    EXPECT_TRUE(shown("3020"));
    EXPECT_EQ(text("3020"), "{13}{10}");
    EXPECT_EQ(label("suffixCounter"), "5");
    EXPECT_FALSE(shown("3010"));
    EXPECT_FALSE(shown("prefixCounter"));
    for (const char* id : kKeyPad) {
        EXPECT_TRUE(shown(id)) << id;
    }
    EXPECT_EQ(target(), Target::None);
}

TEST_F(TrackPageTest, ControlsSitAtTheirPlaces) {
    EXPECT_EQ(control<QAbstractButton>("1306")->text(), "TKn swipe from rithg to left");
    EXPECT_EQ(control("3010")->geometry(), QRect(310, 90, 130, 20));
    EXPECT_EQ(control("suffixCounter")->geometry(), QRect(440, 120, 40, 20));
    EXPECT_EQ(control("keyPadGroup")->geometry(), QRect(220, 290, 327, 100));
    EXPECT_EQ(control("2000")->geometry(), QRect(223, 330, 32, 32));
    EXPECT_EQ(control("2009")->geometry(), QRect(511, 330, 32, 32));
    EXPECT_EQ(control("2011")->geometry(), QRect(223, 362, 161, 26));
    EXPECT_EQ(control("2010")->geometry(), QRect(384, 362, 160, 26));
    EXPECT_FALSE(control<QAbstractButton>("2010")->icon().isNull());
    EXPECT_EQ(control<QAbstractButton>("2010")->iconSize(), QSize(24, 16));
    EXPECT_EQ(control<QAbstractButton>("2003")->iconSize(), QSize(16, 16));
}

TEST_F(TrackPageTest, PrefixAndSuffixBoxesShowAndHideEntriesAndKeyPad) {
    openTrack(1);
    click("1301");
    EXPECT_TRUE(shown("3010"));
    EXPECT_EQ(text("3010"), "T1");
    EXPECT_EQ(label("prefixCounter"), "5");
    click("1301");
    click("1302");
    for (const char* id : {"3010", "3020", "prefixCounter", "suffixCounter"}) {
        EXPECT_FALSE(shown(id)) << id;
    }
    for (const char* id : kKeyPad) {
        EXPECT_FALSE(shown(id)) << id;
    }
}

TEST_F(TrackPageTest, EveryFlagsByteSurvivesLoadAndStoreOnEachTrack) {
    for (int track = 1; track <= 3; ++track) {
        for (int value = 0; value < 256; ++value) {
            flagsOf(image, trackSection(track)) = static_cast<std::uint8_t>(value);
            const auto before = image.raw();
            pages.loadPage(msrTrackPage(track));
            flagsOf(image, trackSection(track)) = static_cast<std::uint8_t>(~value);
            pages.storePage(msrTrackPage(track));
            ASSERT_EQ(image.raw(), before) << track << " " << value;
        }
    }
}

TEST_F(TrackPageTest, EditsSurviveASwitchToAnotherTrackAndBack) {
    openTrack(1);
    click("1303");
    openTrack(3);
    EXPECT_FALSE(checked("1303"));
    EXPECT_EQ(control<QAbstractButton>("1305")->text(), "TK3 swipe from left to right");
    EXPECT_EQ(text("3020"), "{13}{10}");
    openTrack(1);
    EXPECT_TRUE(checked("1303"));
    EXPECT_EQ(flagsOf(image, "track1"), 0xA3 | 0x10);
    EXPECT_EQ(flagsOf(image, "track3"), 0xA3);
}

TEST_F(TrackPageTest, KeyPadAddsACodeToThePrefixEntryItWorksFor) {
    openTrack(1);
    click("1301");
    click("3010");
    pressDigits("127");
    EXPECT_EQ(target(), Target::Prefix);
    EXPECT_EQ(QApplication::focusWidget(), control("3010"));
    EXPECT_EQ(text("2012"), "127");
    click("2010");
    EXPECT_EQ(codes(recordOf(image, "track1.prefix")), (std::vector<int>{'T', '1', 127}));
    EXPECT_EQ(text("3010"), "T1{127}");
    EXPECT_EQ(label("prefixCounter"), "4");
    EXPECT_EQ(text("2012"), "");
    EXPECT_TRUE(checked("1301")); // stored before the reload
}

TEST_F(TrackPageTest, KeyPadWithoutTargetFeedsTheSuffix) {
    openTrack(1);
    pressDigits("65");
    EXPECT_EQ(QApplication::focusWidget(), control("3020"));
    click("2010");
    EXPECT_EQ(codes(recordOf(image, "track1.suffix")), (std::vector<int>{13, 10, 65}));
    EXPECT_EQ(text("3020"), "{13}{10}A");
    EXPECT_EQ(label("suffixCounter"), "4");
}

TEST_F(TrackPageTest, KeyPadEntryKeepsThreeDigitsUpTo255) {
    openTrack(1);
    pressDigits("256");
    EXPECT_EQ(text("2012"), "25");
    pressDigits("50");
    EXPECT_EQ(text("2012"), "255");
    click("2011");
    EXPECT_EQ(text("2012"), "25");
    click("2011");
    click("2011");
    click("2011");
    EXPECT_EQ(text("2012"), "");
    pressDigits("0001");
    EXPECT_EQ(text("2012"), "000");

    EXPECT_EQ(KeyPad::limited("1270"), "127");
    EXPECT_EQ(KeyPad::limited("9999"), "99");
    EXPECT_EQ(KeyPad::limited("300"), "30");
    EXPECT_EQ(KeyPad::leadingValue("42x"), 42);
    EXPECT_EQ(KeyPad::leadingValue(""), 0);
}

TEST_F(TrackPageTest, OkWithoutAValidCodeOrWithAFullListAddsNothing) {
    openTrack(1);
    const auto before = image.raw();
    click("2010");
    pressDigits("000");
    click("2010");
    EXPECT_EQ(image.raw(), before);
    EXPECT_EQ(text("2012"), "");

    setCodes(recordOf(image, "track1.suffix"), {1, 2, 3, 4, 5, 6, 7});
    openTrack(1);
    pressDigits("9");
    click("2010");
    EXPECT_EQ(codes(recordOf(image, "track1.suffix")), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(recordOf(image, "track1.suffix")[8], 0);
    EXPECT_EQ(text("2012"), "");
    EXPECT_EQ(label("suffixCounter"), "0");
}

} // namespace

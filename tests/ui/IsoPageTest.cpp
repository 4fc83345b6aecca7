#include "support/MsrPagesFixture.h"
#include "support/SettingsByName.h"

#include <QAbstractButton>

namespace {

constexpr const char* kFieldBoxes[] = {"1404", "1403", "1402", "1401", "1400"};

class IsoPageTest : public MsrPagesFixture {
protected:
    QAbstractButton* box(const char* id) { return control<QAbstractButton>(id); }
};

TEST_F(IsoPageTest, ShowsFactoryValuesOnEachTrack) {
    for (int track = 1; track <= 3; ++track) {
        openIso(track);
        EXPECT_FALSE(box("1405")->isChecked());
        EXPECT_TRUE(box("1405")->isEnabled());
        EXPECT_TRUE(box("1404")->isChecked());
        EXPECT_TRUE(box("1403")->isChecked());
        EXPECT_TRUE(box("1402")->isChecked());
        EXPECT_FALSE(box("1401")->isChecked());
        EXPECT_TRUE(box("1400")->isChecked());
        for (const char* id : kFieldBoxes) {
            EXPECT_FALSE(box(id)->isEnabled()) << track << " " << id;
        }
        EXPECT_EQ(shown("1403"), track == 1);
        EXPECT_EQ(box("1402")->text(),
                  track == 3 ? "Use and security data/additional data" : "Additional data");
    }
}

TEST_F(IsoPageTest, FieldSplittingEnablesTheFieldBoxesWithoutClearingThem) {
    openIso(1);
    click("1405");
    for (const char* id : kFieldBoxes) {
        EXPECT_TRUE(box(id)->isEnabled()) << id;
    }
    click("1401");
    click("1405");
    for (const char* id : kFieldBoxes) {
        EXPECT_FALSE(box(id)->isEnabled()) << id;
    }
    EXPECT_TRUE(box("1401")->isChecked());
    openIso(2);
    EXPECT_EQ(flagsOf(image, "iso1"), 0x4E | 0x20);
}

TEST_F(IsoPageTest, EveryFlagsByteSurvivesLoadAndStoreOnEachTrack) {
    for (int track = 1; track <= 3; ++track) {
        openIso(track);
        for (int value = 0; value < 256; ++value) {
            flagsOf(image, isoSection(track)) = static_cast<std::uint8_t>(value);
            const auto before = image.raw();
            pages.loadPage(isoTrackPage(track));
            // The boxes' bits are written over; 0x10 and 0x80 must simply be left.
            flagsOf(image, isoSection(track)) = static_cast<std::uint8_t>(value ^ 0x6F);
            pages.storePage(isoTrackPage(track));
            ASSERT_EQ(image.raw(), before) << track << " " << value;
        }
    }
}

TEST_F(IsoPageTest, HiddenAndUnboundBitsSurviveEdits) {
    flagsOf(image, "iso2") = 0x80 | 0x10 | 0x04;
    openIso(2);
    EXPECT_FALSE(shown("1403"));
    click("1405");
    click("1404");
    openIso(3);
    EXPECT_EQ(flagsOf(image, "iso2"), 0x80 | 0x10 | 0x04 | 0x02 | 0x01);
}

TEST_F(IsoPageTest, LayoutFollowsTheTrack) {
    openIso(1);
    EXPECT_EQ(box("1402")->geometry(), QRect(240, 150, 260, 20));
    EXPECT_EQ(box("1401")->geometry(), QRect(240, 180, 280, 20));
    EXPECT_EQ(box("1400")->geometry(), QRect(240, 210, 280, 20));
    openIso(3);
    EXPECT_FALSE(shown("1403"));
    EXPECT_EQ(box("1402")->geometry(), QRect(240, 120, 280, 20));
    EXPECT_EQ(box("1401")->geometry(), QRect(240, 150, 280, 20));
    EXPECT_EQ(box("1400")->geometry(), QRect(240, 180, 280, 30));
    openIso(1);
    EXPECT_TRUE(shown("1403"));
    EXPECT_EQ(box("1402")->text(), "Additional data");
    EXPECT_EQ(box("1402")->geometry(), QRect(240, 150, 260, 20));
    EXPECT_EQ(box("1405")->geometry(), QRect(240, 60, 260, 20));
}

TEST_F(IsoPageTest, TheKeyPadAndTheTrackControlsGoAway) {
    openTrack(1);
    EXPECT_TRUE(shown("keyPadGroup"));
    openIso(1);
    for (const char* id : {"keyPadGroup", "2012", "2010", "3020", "suffixCounter", "1300"}) {
        EXPECT_FALSE(shown(id)) << id;
    }
    EXPECT_EQ(target(), CodeListPanel::KeyPadTarget::None);
}

} // namespace

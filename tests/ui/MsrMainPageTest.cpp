#include "support/MsrPagesFixture.h"
#include "support/SettingsByName.h"

#include <QAbstractButton>
#include <QFont>
#include <QRadioButton>

namespace {

// The eight check boxes and the ALT radio button of the page, with their bits.
constexpr Bit kMsrBits[] = {{"1200", 0x80}, {"1201", 0x40}, {"1202", 0x20}, {"1207", 0x10},
                            {"1208", 0x08}, {"1209", 0x04}, {"1206", 0x02}, {"1203", 0x01}};

struct MsrMainPageTest : MsrPagesFixture {
    // The page opened on a block whose MSR flags were replaced by `flags`.
    void openWithFlags(std::uint8_t flags) {
        flagsOf(image, "msr") = flags;
        blockReplaced();
        openMsrMain();
    }
};

TEST_F(MsrMainPageTest, ShowsFactoryValues) {
    openMsrMain();
    for (const Bit& b : kMsrBits) {
        EXPECT_TRUE(shown(b.id)) << b.id;
        EXPECT_EQ(control<QAbstractButton>(b.id)->isChecked(), (0x83 & b.bit) != 0) << b.id;
    }
    EXPECT_FALSE(control<QAbstractButton>("1205")->isChecked());
    EXPECT_TRUE(shown("1204"));
    for (const char* hidden : {"3010", "3020", "prefixCounter", "suffixCounter", "keyPadGroup",
                               "2012", "2000", "2010", "2011"}) {
        EXPECT_FALSE(shown(hidden)) << hidden;
    }
}

TEST_F(MsrMainPageTest, ControlsSitAtTheirPlacesAndTheTitleIsBoldArial) {
    EXPECT_EQ(control("1207")->geometry(), QRect(220, 190, 160, 20));
    EXPECT_EQ(control("1204")->geometry(), QRect(380, 180, 160, 100));
    EXPECT_EQ(control("1206")->geometry(), QRect(400, 240, 130, 20));
    auto* title = control<QLabel>("1101");
    EXPECT_EQ(title->text(), "MSR main settings");
    EXPECT_EQ(title->geometry(), QRect(210, 9, 340, 30));
    EXPECT_EQ(title->font().pixelSize(), 24);
    EXPECT_TRUE(title->font().bold());
    EXPECT_EQ(title->font().family(), "Arial");
    EXPECT_EQ(title->alignment(), Qt::AlignCenter);
    // "ALT mode" is selected from the start, before any load.
    EXPECT_TRUE(control<QAbstractButton>("1206")->isChecked());
}

TEST_F(MsrMainPageTest, EveryFlagsByteSurvivesLoadAndStoreAndNothingElseChanges) {
    for (int value = 0; value < 256; ++value) {
        flagsOf(image, "msr") = static_cast<std::uint8_t>(value);
        const auto before = image.raw();
        pages.loadPage(Page::MsrMainSettings);
        flagsOf(image, "msr") = static_cast<std::uint8_t>(~value);
        pages.storePage(Page::MsrMainSettings);
        ASSERT_EQ(image.raw(), before) << value;
    }
}

TEST_F(MsrMainPageTest, HighCompatibleBoxesUseTheSameBitBothWays) {
    openWithFlags(0x10);
    EXPECT_TRUE(control<QAbstractButton>("1207")->isChecked());
    EXPECT_FALSE(control<QAbstractButton>("1209")->isChecked());
    click("1207");
    click("1209");
    pages.storePage(Page::MsrMainSettings);
    EXPECT_EQ(flagsOf(image, "msr"), 0x04);
}

TEST_F(MsrMainPageTest, ScanCodeModeIsTheComplementOfAltMode) {
    openWithFlags(0x01);
    EXPECT_TRUE(control<QAbstractButton>("1205")->isChecked());
    EXPECT_FALSE(control<QAbstractButton>("1206")->isChecked());
    click("1206");
    EXPECT_FALSE(control<QAbstractButton>("1205")->isChecked());
    pages.storePage(Page::MsrMainSettings);
    EXPECT_EQ(flagsOf(image, "msr"), 0x03);
}

TEST_F(MsrMainPageTest, OutputModeButtonsLeaveOtherRadioButtonsOfTheWindowAlone) {
    auto* wedge = new QRadioButton(QStringLiteral("Keyboard Wedge"), &window);
    wedge->setChecked(true);
    openWithFlags(0x00);
    click("1206");
    EXPECT_TRUE(wedge->isChecked());
}

TEST_F(MsrMainPageTest, PrefixBoxShowsThePrefixEntryAndTheKeyPad) {
    openMsrMain();
    click("1201");
    EXPECT_TRUE(shown("3010"));
    EXPECT_EQ(text("3010"), "CR");
    EXPECT_EQ(label("prefixCounter"), "5");
    EXPECT_TRUE(shown("keyPadGroup"));
    EXPECT_TRUE(shown("2012"));
    EXPECT_FALSE(shown("3020"));
    EXPECT_FALSE(shown("suffixCounter"));

    QTest::keyClicks(control("3010"), "x");
    EXPECT_EQ(codes(recordOf(image, "msr.prefix")), (std::vector<int>{'C', 'R', 'x'}));
    click("1201");
    EXPECT_FALSE(shown("3010"));
    EXPECT_FALSE(shown("keyPadGroup"));
    // Shown again, the entry holds the list as it is now.
    click("1201");
    EXPECT_EQ(text("3010"), "CRx");
    EXPECT_EQ(label("prefixCounter"), "4");
}

TEST_F(MsrMainPageTest, KeyPadFeedsTheOnlyEntryShown) {
    openMsrMain();
    click("1201");
    click("2006");
    click("2005");
    click("2010");
    EXPECT_EQ(codes(recordOf(image, "msr.prefix")), (std::vector<int>{'C', 'R', 'A'}));
    EXPECT_EQ(codes(recordOf(image, "msr.suffix")), (std::vector<int>{'C', 'R'}));
    EXPECT_EQ(text("3010"), "CRA");
    // OK stored the page before reloading it, so the box is still checked.
    EXPECT_TRUE(control<QAbstractButton>("1201")->isChecked());
    EXPECT_EQ(flagsOf(image, "msr"), 0x83 | 0x40);
}

} // namespace

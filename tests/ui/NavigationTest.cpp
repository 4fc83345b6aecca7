#include "settings/SettingsImage.h"
#include "support/MainWindowFixture.h"
#include "support/SettingsByName.h"

#include <QCheckBox>
#include <QLabel>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>

namespace {

// Page changes through the menu and the tree: the page being left is stored before the next one
// is loaded, whichever way the operator moves.
class Navigation : public MainWindowFixture {
protected:
    void SetUp() override { startWithReaderOn(3); }

    QTreeWidget* tree() const { return control<QTreeWidget>("tree"); }
    QLabel* title() const { return control<QLabel>("1101"); }
    QTreeWidgetItem* item(const char* text) const {
        const QList<QTreeWidgetItem*> found =
            tree()->findItems(QString::fromLatin1(text), Qt::MatchExactly | Qt::MatchRecursive);
        EXPECT_EQ(found.size(), 1) << text;
        return found.value(0);
    }
    void select(const char* text) const { tree()->setCurrentItem(item(text)); }
    bool msrState() const { return shown("tree") && title()->isVisibleTo(window.get()); }
};

TEST_F(Navigation, MsrSettingShowsTheTreeOnTheMsrMainSettingsPage) {
    command("32775");
    EXPECT_EQ(window->currentPage(), Page::MsrMainSettings);
    EXPECT_TRUE(msrState());
    EXPECT_EQ(tree()->geometry(), QRect(9, 6, 194, 391));
    EXPECT_EQ(tree()->currentItem(), item("MSR Main Settings"));
    EXPECT_EQ(title()->text(), "MSR Main Settings");
    EXPECT_FALSE(shown("1007"));
}

TEST_F(Navigation, TreeItemsSelectTheirPages) {
    command("32775");
    const struct {
        const char* text;
        Page page;
    } cases[] = {{"MSR Track 1", Page::MsrTrack1}, {"MSR Track 3", Page::MsrTrack3},
                 {"Track 1", Page::IsoTrack1},     {"Track 2", Page::IsoTrack2},
                 {"Track 3", Page::IsoTrack3},     {"MSR Main Settings", Page::MsrMainSettings}};
    for (const auto& c : cases) {
        select(c.text);
        EXPECT_EQ(window->currentPage(), c.page) << c.text;
        EXPECT_EQ(title()->text(), c.text);
        EXPECT_TRUE(msrState());
    }
}

// An item stands for its page, whatever it reads: the title follows the text, the page the item.
TEST_F(Navigation, ItemsCarryTheirPagesNotTheirTexts) {
    command("32775");
    QTreeWidgetItem* track2 = item("MSR Track 2");
    track2->setText(0, QStringLiteral("Track 1"));
    tree()->setCurrentItem(track2);
    EXPECT_EQ(window->currentPage(), Page::MsrTrack2);
    EXPECT_EQ(title()->text(), "Track 1");
    EXPECT_EQ(control<QCheckBox>("1305")->text(), "TK2 swipe from left to right");
    EXPECT_TRUE(shown("1300"));
    EXPECT_FALSE(shown("1405"));
}

TEST_F(Navigation, ClickingTheIsoGroupItemShowsOnlyTreeAndTitle) {
    command("32775");
    const QRect where = tree()->visualItemRect(item("MSR ISO Standard Field Setting Group"));
    QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, where.center());
    EXPECT_EQ(window->currentPage(), Page::IsoGroup);
    EXPECT_EQ(title()->text(), "MSR ISO Standard Field Setting Group");
    EXPECT_TRUE(msrState());
    EXPECT_FALSE(shown("1007"));
}

TEST_F(Navigation, MainSettingReturnsAndMsrSettingAlwaysLandsOnPage1) {
    command("32775");
    select("Track 3");
    command("32786");
    EXPECT_EQ(window->currentPage(), Page::MainSettings);
    EXPECT_FALSE(msrState());
    EXPECT_TRUE(shown("1007"));
    EXPECT_TRUE(shown("1031"));

    command("32775");
    EXPECT_EQ(window->currentPage(), Page::MsrMainSettings);
    EXPECT_EQ(tree()->currentItem(), item("MSR Main Settings"));
    EXPECT_TRUE(msrState());
}

TEST_F(Navigation, MainPageEditsSurviveAVisitToTheMsrPages) {
    control<QSpinBox>("1016")->setValue(77); // hidden in the RS232 layout, still stored
    command("32775");
    EXPECT_EQ(byteOf(image, "main.scan_code_delay"), 77);
    select("MSR Track 2");
    command("32786");
    EXPECT_EQ(control<QSpinBox>("1016")->value(), 77);
    EXPECT_EQ(byteOf(image, "main.com_port"), 3);
}

TEST_F(Navigation, TrackPageEditsSurviveSwitchesToOtherPagesAndBack) {
    command("32775");
    select("MSR Track 1");
    auto* beep = control<QCheckBox>("1300");
    ASSERT_TRUE(beep->isChecked()); // factory 0xA3
    beep->click();
    select("MSR Track 2");
    EXPECT_EQ(flagsOf(image, "track1"), 0x23);
    EXPECT_TRUE(beep->isChecked()) << "track 2 keeps its own beep";
    command("32786");
    command("32775");
    select("MSR Track 1");
    EXPECT_FALSE(beep->isChecked());
    EXPECT_EQ(flagsOf(image, "track2"), 0xA3);
}

TEST_F(Navigation, MsrSettingOnTheMsrMainSettingsPageKeepsItsEdits) {
    command("32775");
    auto* errorBeep = control<QCheckBox>("1200");
    ASSERT_TRUE(errorBeep->isChecked()); // factory 0x83
    errorBeep->click();
    command("32775");
    EXPECT_FALSE(errorBeep->isChecked());
    EXPECT_EQ(flagsOf(image, "msr"), 0x03);
}

TEST_F(Navigation, OnTheIsoGroupItemSaveStoresOnlyTheTwoMainPages) {
    command("32775");
    select("Track 1");
    control<QCheckBox>("1405")->click(); // field splitting on: stored when the page is left
    select("MSR ISO Standard Field Setting Group");
    EXPECT_EQ(flagsOf(image, "iso1"), 0x4F);
    control<QCheckBox>("1400")->setChecked(false); // hidden now, so not stored
    command("32777");
    EXPECT_EQ(flagsOf(image, "iso1"), 0x4F);
    EXPECT_EQ(window->currentPage(), Page::IsoGroup);
}

} // namespace

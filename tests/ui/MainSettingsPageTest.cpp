#include "ui/MainSettingsPage.h"

#include "settings/FactoryDefaults.h"
#include "settings/SettingsImage.h"

#include <cstdint>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// The page alone on a window, filled as at start, holding the factory values.
class MainSettingsPageTest : public ::testing::Test {
protected:
    MainSettingsPageTest() {
        writeFactoryValues(image);
        page.fillLists();
        window.resize(560, 410);
        window.show();
    }

    template <typename T> T* control(const char* id) {
        T* found = window.findChild<T*>(QString::fromLatin1(id));
        EXPECT_NE(found, nullptr) << id;
        return found;
    }
    QSpinBox* scanDelay() { return control<QSpinBox>("1016"); }
    QComboBox* comPort() { return control<QComboBox>("1031"); }
    QComboBox* baud() { return control<QComboBox>("1019"); }
    // On the box: a button reacts only on its box and its text.
    void click(const char* id) {
        QWidget* button = control<QWidget>(id);
        const int x = button->isRightToLeft() ? button->width() - 8 : 8;
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(x, button->height() / 2));
    }
    // Chooses an entry as the operator does: open the list, move to the entry, press Enter.
    void choose(QComboBox* list, int index) {
        list->showPopup();
        list->view()->setCurrentIndex(list->model()->index(index, 0));
        QTest::keyClick(list->view(), Qt::Key_Return);
    }

    SettingsImage image;
    QWidget window;
    MainSettingsPage page{&window, image};
};

TEST_F(MainSettingsPageTest, ComPortSelectsItsOwnEntryOnly) {
    const struct {
        std::uint8_t port;
        int index;
    } cases[] = {{1, 0}, {10, 9}, {98, 97}, {0, -1}, {99, -1}, {0xFF, -1}};
    for (const auto& c : cases) {
        image.com_port() = c.port;
        page.loadPage();
        EXPECT_EQ(comPort()->currentIndex(), c.index) << int(c.port);
        EXPECT_EQ(image.com_port(), c.port) << "loading writes nothing";
    }
    page.storeMainPage();
    EXPECT_EQ(image.com_port(), 0);
}

TEST_F(MainSettingsPageTest, BaudCodesShowTheirRateAndStoreTheEntryCode) {
    const struct {
        std::uint8_t code;
        const char* shown;
        std::uint8_t stored;
    } cases[] = {{0, "9600", 5}, {1, "600", 1}, {7, "38400", 7}, {8, "38400", 7},
                 {9, "", 0},     {10, "", 0},   {0xFF, "", 0}};
    for (const auto& c : cases) {
        image.baud_code() = c.code;
        page.loadPage();
        EXPECT_EQ(baud()->currentText(), c.shown) << int(c.code);
        page.storeMainPage();
        EXPECT_EQ(image.baud_code(), c.stored) << int(c.code);
    }
}

TEST_F(MainSettingsPageTest, DelayOf255KeepsTheRowShown) {
    image.scan_code_delay() = 42;
    image.char_code_delay() = 254;
    page.loadPage();
    image.scan_code_delay() = 255;
    image.char_code_delay() = 255;
    page.loadPage();
    EXPECT_EQ(scanDelay()->value(), 42);
    page.storeMainPage();
    EXPECT_EQ(image.scan_code_delay(), 42);
    EXPECT_EQ(image.char_code_delay(), 254);
}

TEST_F(MainSettingsPageTest, DelayArrowsChangeTheStoredValue) {
    page.loadPage(); // factory scan delay 1
    page.showMainPage();
    QTest::keyClick(scanDelay(), Qt::Key_Up);
    QTest::keyClick(scanDelay(), Qt::Key_Up);
    EXPECT_EQ(image.scan_code_delay(), 1) << "stored only with the page";
    page.storeMainPage();
    EXPECT_EQ(image.scan_code_delay(), 3);
    scanDelay()->setValue(254);
    QTest::keyClick(scanDelay(), Qt::Key_Up);
    EXPECT_EQ(scanDelay()->value(), 254);
}

TEST_F(MainSettingsPageTest, ModeButtonsFollowOperatingModeAndSwitchTheLayout) {
    image.operating_mode() = SettingsImage::kModeNotFound;
    page.loadPage();
    EXPECT_FALSE(control<QRadioButton>("1008")->isChecked());
    EXPECT_FALSE(control<QRadioButton>("1009")->isChecked());
    page.showMainPage();
    EXPECT_EQ(image.operating_mode(), SettingsImage::kModeRs232);
    EXPECT_EQ(control<QGroupBox>("1011")->title(), "RS232 Protocol");

    click("1008");
    EXPECT_TRUE(control<QRadioButton>("1008")->isChecked());
    EXPECT_EQ(image.operating_mode(), SettingsImage::kModeKeyboardWedge);
    EXPECT_EQ(control<QGroupBox>("1011")->title(), "KeyBoard Protocol");
    EXPECT_TRUE(scanDelay()->isVisible());
    EXPECT_FALSE(comPort()->isVisible());

    click("1009");
    EXPECT_FALSE(control<QRadioButton>("1008")->isChecked());
    EXPECT_EQ(image.operating_mode(), SettingsImage::kModeRs232);
    EXPECT_FALSE(control<QLabel>("1012")->isVisible());
    EXPECT_TRUE(baud()->isVisible());
}

TEST_F(MainSettingsPageTest, SwitchingToRs232WithoutAPort) {
    image.operating_mode() = SettingsImage::kModeKeyboardWedge;
    image.com_port() = 0;
    page.loadPage();
    page.showMainPage();
    click("1009");
    EXPECT_EQ(comPort()->currentText(), "Com 1");
    EXPECT_EQ(image.com_port(), 0) << "taken at the next store";
    page.storeMainPage();
    EXPECT_EQ(image.com_port(), 1);

    click("1008");
    image.com_port() = 0xFF;
    page.loadPage();
    click("1009");
    EXPECT_EQ(comPort()->currentIndex(), -1);
    page.storeMainPage();
    EXPECT_EQ(image.com_port(), 0);
}

TEST_F(MainSettingsPageTest, ChoosingPortAndRateWritesThemAtOnce) {
    image.operating_mode() = SettingsImage::kModeRs232;
    page.loadPage();
    page.showMainPage();
    choose(comPort(), 4);
    EXPECT_EQ(image.com_port(), 5);
    choose(baud(), 6);
    EXPECT_EQ(image.baud_code(), 7);
    page.hideMainPage();
    page.loadPage();
    page.showMainPage();
    EXPECT_EQ(baud()->currentText(), "38400");
}

TEST_F(MainSettingsPageTest, BuzzerChangesOnlyItsOwnBit) {
    image.general_flags() = 0x86;
    page.loadPage();
    page.showMainPage();
    auto* buzzer = control<QCheckBox>("1023");
    EXPECT_TRUE(buzzer->isChecked());
    click("1023");
    EXPECT_EQ(image.general_flags(), 0x06);
    click("1023");
    EXPECT_EQ(image.general_flags(), 0x86);

    image.general_flags() = 0x7F;
    page.loadPage();
    EXPECT_FALSE(buzzer->isChecked());
    page.storeMainPage();
    EXPECT_EQ(image.general_flags(), 0x7F) << "the page store leaves the flags alone";
}

TEST_F(MainSettingsPageTest, HideStoresThePageAndHidesEveryControl) {
    page.loadPage();
    page.showMainPage();
    scanDelay()->setValue(77);
    page.hideMainPage();
    EXPECT_EQ(image.scan_code_delay(), 77);
    for (const char* id : {"1007", "1010", "1008", "1009", "1011", "1012", "1013", "1016", "1014",
                           "1015", "1017", "1030", "1031", "1020", "1019", "1023"}) {
        EXPECT_FALSE(control<QWidget>(id)->isVisible()) << id;
    }
}

} // namespace

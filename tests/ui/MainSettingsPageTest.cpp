#include "ui/MainSettingsPage.h"

#include "settings/FactoryDefaults.h"
#include "settings/SettingsImage.h"
#include "support/SettingsByName.h"

#include <cstdint>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
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
        page.setGeometry(window.rect());
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
    MainSettingsPage page{image, &window};
};

TEST_F(MainSettingsPageTest, ComPortSelectsItsOwnEntryOnly) {
    const struct {
        std::uint8_t port;
        int index;
    } cases[] = {{1, 0}, {10, 9}, {98, 97}, {0, -1}, {99, -1}, {0xFF, -1}};
    for (const auto& c : cases) {
        byteOf(image, "main.com_port") = c.port;
        page.load();
        EXPECT_EQ(comPort()->currentIndex(), c.index) << int(c.port);
        EXPECT_EQ(byteOf(image, "main.com_port"), c.port) << "loading writes nothing";
    }
    page.store();
    EXPECT_EQ(byteOf(image, "main.com_port"), 0);
}

TEST_F(MainSettingsPageTest, BaudCodesShowTheirRateAndStoreTheEntryCode) {
    const struct {
        std::uint8_t code;
        const char* shown;
        std::uint8_t stored;
    } cases[] = {{0, "9600", 5}, {1, "600", 1}, {7, "38400", 7}, {8, "38400", 7},
                 {9, "", 0},     {10, "", 0},   {0xFF, "", 0}};
    for (const auto& c : cases) {
        byteOf(image, "main.baud_rate") = c.code;
        page.load();
        EXPECT_EQ(baud()->currentText(), c.shown) << int(c.code);
        page.store();
        EXPECT_EQ(byteOf(image, "main.baud_rate"), c.stored) << int(c.code);
    }
}

TEST_F(MainSettingsPageTest, DelayOf255KeepsTheRowShown) {
    byteOf(image, "main.scan_code_delay") = 42;
    byteOf(image, "main.char_code_delay") = 254;
    page.load();
    byteOf(image, "main.scan_code_delay") = 255;
    byteOf(image, "main.char_code_delay") = 255;
    page.load();
    EXPECT_EQ(scanDelay()->value(), 42);
    page.store();
    EXPECT_EQ(byteOf(image, "main.scan_code_delay"), 42);
    EXPECT_EQ(byteOf(image, "main.char_code_delay"), 254);
}

TEST_F(MainSettingsPageTest, DelayArrowsChangeTheStoredValue) {
    page.load(); // factory scan delay 1
    page.applyLayout();
    QTest::keyClick(scanDelay(), Qt::Key_Up);
    QTest::keyClick(scanDelay(), Qt::Key_Up);
    EXPECT_EQ(byteOf(image, "main.scan_code_delay"), 1) << "stored only with the page";
    page.store();
    EXPECT_EQ(byteOf(image, "main.scan_code_delay"), 3);
    scanDelay()->setValue(254);
    QTest::keyClick(scanDelay(), Qt::Key_Up);
    EXPECT_EQ(scanDelay()->value(), 254);
}

TEST_F(MainSettingsPageTest, ModeButtonsFollowOperatingModeAndSwitchTheLayout) {
    byteOf(image, "main.operating_mode") = SettingTable::kModeNotFound;
    page.load();
    EXPECT_FALSE(control<QRadioButton>("1008")->isChecked());
    EXPECT_FALSE(control<QRadioButton>("1009")->isChecked());
    page.applyLayout();
    EXPECT_EQ(byteOf(image, "main.operating_mode"), SettingTable::kModeRs232);
    EXPECT_EQ(control<QGroupBox>("1011")->title(), "RS232 Protocol");

    click("1008");
    EXPECT_TRUE(control<QRadioButton>("1008")->isChecked());
    EXPECT_EQ(byteOf(image, "main.operating_mode"), SettingTable::kModeKeyboardWedge);
    EXPECT_EQ(control<QGroupBox>("1011")->title(), "KeyBoard Protocol");
    EXPECT_TRUE(scanDelay()->isVisible());
    EXPECT_FALSE(comPort()->isVisible());

    click("1009");
    EXPECT_FALSE(control<QRadioButton>("1008")->isChecked());
    EXPECT_EQ(byteOf(image, "main.operating_mode"), SettingTable::kModeRs232);
    EXPECT_FALSE(control<QLabel>("1012")->isVisible());
    EXPECT_TRUE(baud()->isVisible());
}

TEST_F(MainSettingsPageTest, SwitchingToRs232WithoutAPort) {
    byteOf(image, "main.operating_mode") = SettingTable::kModeKeyboardWedge;
    byteOf(image, "main.com_port") = 0;
    page.load();
    page.applyLayout();
    click("1009");
    EXPECT_EQ(comPort()->currentText(), "Com 1");
    EXPECT_EQ(byteOf(image, "main.com_port"), 0) << "taken at the next store";
    page.store();
    EXPECT_EQ(byteOf(image, "main.com_port"), 1);

    click("1008");
    byteOf(image, "main.com_port") = 0xFF;
    page.load();
    click("1009");
    EXPECT_EQ(comPort()->currentIndex(), -1);
    page.store();
    EXPECT_EQ(byteOf(image, "main.com_port"), 0);
}

TEST_F(MainSettingsPageTest, ChoosingPortAndRateWritesThemAtOnce) {
    byteOf(image, "main.operating_mode") = SettingTable::kModeRs232;
    page.load();
    page.applyLayout();
    choose(comPort(), 4);
    EXPECT_EQ(byteOf(image, "main.com_port"), 5);
    choose(baud(), 6);
    EXPECT_EQ(byteOf(image, "main.baud_rate"), 7);
    page.store();
    page.load();
    page.applyLayout();
    EXPECT_EQ(baud()->currentText(), "38400");
}

TEST_F(MainSettingsPageTest, BuzzerChangesOnlyItsOwnBit) {
    flagsOf(image, "main") = 0x86;
    page.load();
    page.applyLayout();
    auto* buzzer = control<QCheckBox>("1023");
    EXPECT_TRUE(buzzer->isChecked());
    click("1023");
    EXPECT_EQ(flagsOf(image, "main"), 0x06);
    click("1023");
    EXPECT_EQ(flagsOf(image, "main"), 0x86);

    flagsOf(image, "main") = 0x7F;
    page.load();
    EXPECT_FALSE(buzzer->isChecked());
    page.store();
    EXPECT_EQ(flagsOf(image, "main"), 0x7F) << "the page store writes only the buzzer bit";
}

// The editable field of a list shows only what the block holds: typed text that names an entry
// selects it on Enter or when the field is left, and writes it at once; other text goes back to
// the selection.
TEST_F(MainSettingsPageTest, TypedPortSelectsItsEntryOrGoesBack) {
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    byteOf(image, "main.operating_mode") = SettingTable::kModeRs232;
    byteOf(image, "main.com_port") = 3;
    page.load();
    page.applyLayout();
    QLineEdit* field = comPort()->lineEdit();
    const auto type = [&](const char* text) {
        comPort()->setFocus();
        field->clear();
        QTest::keyClicks(field, QString::fromLatin1(text));
    };

    type("Com 7");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(comPort()->currentIndex(), 6);
    EXPECT_EQ(byteOf(image, "main.com_port"), 7);

    type("Com 99");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(comPort()->currentText(), "Com 7");
    EXPECT_EQ(byteOf(image, "main.com_port"), 7);

    type("com 12");
    control<QWidget>("1023")->setFocus(); // the field is left
    EXPECT_EQ(comPort()->currentText(), "Com 12");
    EXPECT_EQ(byteOf(image, "main.com_port"), 12);

    type("nothing");
    control<QWidget>("1023")->setFocus();
    EXPECT_EQ(comPort()->currentText(), "Com 12");
    EXPECT_EQ(byteOf(image, "main.com_port"), 12);

    // With no entry selected, any text goes back to none.
    byteOf(image, "main.com_port") = 0xFF;
    page.load();
    type("Com 200");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(comPort()->currentText(), "");
    EXPECT_EQ(byteOf(image, "main.com_port"), 0xFF);

    // The speed list's field works the same way.
    baud()->setFocus();
    baud()->lineEdit()->clear();
    QTest::keyClicks(baud()->lineEdit(), "19200");
    QTest::keyClick(baud()->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(byteOf(image, "main.baud_rate"), 6);
}

// The page is one widget: its sixteen controls are its own children, so that showing and hiding
// the page shows and hides them all; the store writes the delays shown.
TEST_F(MainSettingsPageTest, ControlsBelongToThePageAndStoreWritesTheDelays) {
    page.load();
    page.applyLayout();
    scanDelay()->setValue(77);
    page.store();
    EXPECT_EQ(byteOf(image, "main.scan_code_delay"), 77);
    for (const char* id : {"1007", "1010", "1008", "1009", "1011", "1012", "1013", "1016", "1014",
                           "1015", "1017", "1030", "1031", "1020", "1019", "1023"}) {
        EXPECT_EQ(control<QWidget>(id)->parentWidget(), &page) << id;
    }
    page.hide();
    EXPECT_FALSE(control<QWidget>("1007")->isVisible());
    EXPECT_FALSE(control<QWidget>("1016")->isVisible());
}

} // namespace

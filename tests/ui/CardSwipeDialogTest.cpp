#include "ui/CardSwipeDialog.h"

#include "settings/FactoryDefaults.h"
#include "settings/SettingText.h"
#include "settings/SettingsImage.h"
#include "support/PseudoTerminal.h"
#include "support/TempFolder.h"
#include "ui/SwipeCaptureField.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

constexpr const char* kFullNumber = "4111111111111111";

SettingsImage settingsWith(const std::vector<std::string>& assignments) {
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
    return image;
}

// Everything the details show, one "part = value" per line.
std::string details(const CardSwipeDialog& dialog) {
    std::string text;
    auto* tree = dialog.findChild<QTreeWidget*>(QStringLiteral("details"));
    for (QTreeWidgetItemIterator it(tree); *it != nullptr; ++it) {
        text += ((*it)->text(0) + " = " + (*it)->text(1) + "\n").toStdString();
    }
    return text;
}

int swipesListed(const CardSwipeDialog& dialog) {
    return dialog.findChild<QTableWidget*>(QStringLiteral("swipes"))->rowCount();
}

// A keypad key while Alt is held, as the window system delivers it (QTest would press and let go
// of Alt around each key).
void keypadWithAlt(SwipeCaptureField* field, Qt::Key key) {
    for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent event(type, key, Qt::AltModifier | Qt::KeypadModifier);
        QApplication::sendEvent(field, &event);
    }
}

// The reader in the keyboard line, in ALT mode, with Num Lock off for the second code.
void typeSwipe(SwipeCaptureField* field) {
    QTest::keyClicks(field, QStringLiteral("B4111111111111111^TEST/CARD^2512101"));
    QTest::keyPress(field, Qt::Key_Alt);
    for (const Qt::Key digit : {Qt::Key_0, Qt::Key_1, Qt::Key_3}) {
        keypadWithAlt(field, digit);
    }
    QTest::keyRelease(field, Qt::Key_Alt);
    QTest::keyPress(field, Qt::Key_Alt);
    for (const Qt::Key digit : {Qt::Key_End, Qt::Key_Insert}) { // keypad 1 and 0
        keypadWithAlt(field, digit);
    }
    QTest::keyRelease(field, Qt::Key_Alt);
    QTest::keyClick(field, Qt::Key_Tab);
    QTest::keyClick(field, Qt::Key_Escape);
}

TEST(CardSwipeDialog, KeyboardWedgeCaptureComposesAltCodesAndHidesTheNumberUntilAsked) {
    const SettingsImage image = settingsWith({"main.operating_mode=keyboard_wedge"});
    CardSwipeDialog dialog(image);
    dialog.show();
    auto* field = dialog.findChild<SwipeCaptureField*>(QStringLiteral("capture"));
    ASSERT_TRUE(field != nullptr && field->isVisible());
    typeSwipe(field);
    EXPECT_TRUE(dialog.isVisible()) << "Escape from the reader closed the window";
    EXPECT_EQ(swipesListed(dialog), 0) << "the swipe ended before 100 ms of quiet";
    EXPECT_TRUE(QTest::qWaitFor([&] { return swipesListed(dialog) == 1; }, 2000));

    const std::string masked = details(dialog);
    EXPECT_NE(masked.find("Swipe = B411111******1111^TEST/CARD^2512101{13}{10}{9}{27}"),
              std::string::npos)
        << masked;
    EXPECT_NE(masked.find("Track 1 suffix = {13}{10}"), std::string::npos) << masked;
    EXPECT_NE(masked.find("Unrecognised = {9}{27}"), std::string::npos) << masked;
    EXPECT_NE(masked.find("Luhn check = passes"), std::string::npos) << masked;
    EXPECT_EQ(masked.find(kFullNumber), std::string::npos) << masked;
    EXPECT_EQ(field->text().toStdString().find(kFullNumber), std::string::npos);

    auto* numbers = dialog.findChild<QCheckBox*>(QStringLiteral("showNumbers"));
    EXPECT_FALSE(numbers->isChecked());
    numbers->setChecked(true);
    EXPECT_NE(details(dialog).find(std::string("Account number = ") + kFullNumber),
              std::string::npos);
    QTest::mouseClick(dialog.findChild<QWidget*>(QStringLiteral("clear")), Qt::LeftButton);
    EXPECT_EQ(swipesListed(dialog), 0);
    EXPECT_EQ(details(dialog), "");
}

TEST(CardSwipeDialog, Rs232SwipeEndsAfterQuietAndAPortThatCannotOpenSaysWhy) {
    TempFolder folder;
    PseudoTerminal reader;
    ASSERT_TRUE(reader.ready() && reader.linkAs(folder.path(), 1));
    ::setenv("R550_PORTS_DIR", folder.path().c_str(), 1);
    {
        const SettingsImage image = settingsWith(
            {"main.operating_mode=rs232", "main.com_port=1", "track2.end_sentinel=on"});
        CardSwipeDialog dialog(image);
        dialog.show();
        // One swipe arriving in two pieces 40 ms apart.
        ASSERT_TRUE(reader.send({'4', '1', '1', '1', '1', '1', '1', '1'}));
        QTest::qWait(40);
        const std::string rest = "11111111=2512101?\r\n";
        ASSERT_TRUE(reader.send(std::vector<std::uint8_t>(rest.begin(), rest.end())));
        EXPECT_TRUE(QTest::qWaitFor([&] { return swipesListed(dialog) == 1; }, 2000));
        QTest::qWait(150);
        EXPECT_EQ(swipesListed(dialog), 1);
        const std::string shown = details(dialog);
        EXPECT_NE(shown.find("Track 2, ISO 7813, without sentinels"), std::string::npos) << shown;
        EXPECT_NE(shown.find("Track 2 suffix = {13}{10}"), std::string::npos) << shown;
    }
    const SettingsImage image = settingsWith({"main.operating_mode=rs232", "main.com_port=2"});
    CardSwipeDialog dialog(image);
    const std::string status =
        dialog.findChild<QLabel*>(QStringLiteral("status"))->text().toStdString();
    EXPECT_NE(status.find("COM2"), std::string::npos) << status;
    ::unsetenv("R550_PORTS_DIR");
}

} // namespace

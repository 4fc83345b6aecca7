#include "ui/CardSwipeDialog.h"

#include "support/FactorySettings.h"
#include "support/TempFolder.h"
#include "ui/SwipeCaptureField.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

constexpr const char* kFullNumber = "4111111111111111";

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

// The reader in the keyboard line, in ALT mode.
void typeSwipe(SwipeCaptureField* field) {
    QTest::keyClicks(field, QStringLiteral("B4111111111111111^TEST/CARD^2512101"));
    // 0 1 3, then 1 0 as the keypad sends them with Num Lock off.
    for (const auto& code :
         {std::vector{Qt::Key_0, Qt::Key_1, Qt::Key_3}, std::vector{Qt::Key_End, Qt::Key_Insert}}) {
        QTest::keyPress(field, Qt::Key_Alt);
        for (const Qt::Key digit : code) {
            keypadWithAlt(field, digit);
        }
        QTest::keyRelease(field, Qt::Key_Alt);
    }
    QTest::keyClick(field, Qt::Key_Tab);
    QTest::keyClick(field, Qt::Key_Escape);
}

TEST(CardSwipeDialog, KeyboardWedgeCaptureComposesAltCodesAndHidesTheNumberUntilAsked) {
    const SettingsImage image = factorySettingsWith({"main.operating_mode=keyboard_wedge"});
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
    EXPECT_EQ(masked.find(kFullNumber), std::string::npos) << masked;
    EXPECT_EQ(field->text().toStdString().find(kFullNumber), std::string::npos);

    auto* numbers = dialog.findChild<QCheckBox*>(QStringLiteral("showNumbers"));
    EXPECT_FALSE(numbers->isChecked());
    numbers->setChecked(true);
    EXPECT_NE(details(dialog).find(std::string("Account number = ") + kFullNumber),
              std::string::npos);
    // Ctrl+Tab, which no reader types, leaves the field for the rest of the window.
    EXPECT_TRUE(field->hasFocus());
    QTest::keyClick(field, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_FALSE(field->hasFocus());
    QTest::mouseClick(dialog.findChild<QWidget*>(QStringLiteral("clear")), Qt::LeftButton);
    EXPECT_EQ(swipesListed(dialog), 0);
    EXPECT_EQ(details(dialog), "");
}

// At 800 px the codes wrap inside their column, so that the track's suffix stays in sight; no
// heading is cut short, the cell is named for a screen reader, and the window fits the screen.
TEST(CardSwipeDialog, ALongSwipeWrapsWithItsSuffixInSightAndItsCellNamed) {
    CardSwipeDialog dialog(factorySettingsWith({"main.operating_mode=keyboard_wedge"}));
    const QRect room = dialog.screen()->availableGeometry();
    EXPECT_TRUE(dialog.width() <= room.width() && dialog.height() <= room.height());
    dialog.resize(800, 520);
    dialog.show();
    auto* list = dialog.findChild<QTableWidget*>(QStringLiteral("swipes"));
    const QHeaderView* header = list->horizontalHeader();
    const std::string swipe =
        std::string("B") + kFullNumber + "^TEST/CARD^2512101" + std::string(60, '0') + "{13}\r\n";
    dialog.addSwipe(std::vector<std::uint8_t>(swipe.begin(), swipe.end()));
    QApplication::processEvents();
    for (int column = 0; column < 3; ++column) {
        EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column)) << column;
    }
    const auto* codes = qobject_cast<QLabel*>(list->cellWidget(0, 2));
    const QRect cell = list->visualRect(list->model()->index(0, 2));
    EXPECT_LE(cell.right(), list->viewport()->width());
    EXPECT_GE(cell.height(), codes->heightForWidth(cell.width()));
    EXPECT_GE(cell.height(), 2 * codes->fontMetrics().height()) << "nothing wraps";
    EXPECT_TRUE(codes->text().contains(QStringLiteral("{123}"))) << codes->text().toStdString();
    EXPECT_TRUE(list->item(0, 2)
                    ->data(Qt::AccessibleTextRole)
                    .toString()
                    .endsWith(QStringLiteral("track 1 suffix code 13 code 10")));
}

// A line that never goes quiet is listed in swipes of at most 4096 bytes, each as it fills.
TEST(CardSwipeDialog, ALineThatNeverGoesQuietIsListedInBoundedSwipes) {
    CardSwipeDialog dialog(factorySettingsWith({"main.operating_mode=keyboard_wedge"}));
    dialog.show();
    auto* field = dialog.findChild<SwipeCaptureField*>(QStringLiteral("capture"));
    QTest::keyClicks(field, QString(4100, u'0'));
    auto* list = dialog.findChild<QTableWidget*>(QStringLiteral("swipes"));
    ASSERT_EQ(list->rowCount(), 1) << "the first 4096 bytes waited for the quiet time";
    EXPECT_EQ(list->item(0, 1)->text(), QStringLiteral("4096"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->rowCount() == 2; }, 2000));
    EXPECT_EQ(list->item(1, 1)->text(), QStringLiteral("4"));
}

TEST(CardSwipeDialog, APortThatCannotBeOpenedSaysWhy) {
    TempFolder folder;
    ::setenv("R550_PORTS_DIR", folder.path().c_str(), 1);
    CardSwipeDialog dialog(factorySettingsWith({"main.operating_mode=rs232", "main.com_port=2"}));
    ::unsetenv("R550_PORTS_DIR");
    const QString status = dialog.findChild<QLabel*>(QStringLiteral("status"))->text();
    EXPECT_TRUE(status.contains(QStringLiteral("COM2"))) << status.toStdString();
    EXPECT_FALSE(status.contains(QStringLiteral("Listening"))) << status.toStdString();
}

} // namespace

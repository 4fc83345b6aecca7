#include "ui/KeyCodeEdit.h"

#include "support/MsrPagesFixture.h"
#include "support/SettingsByName.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>

namespace {

// The prefix entry of the MSR Track 1 page, with "Prefix" checked, starting from a given list.
class KeyCodeEditTest : public MsrPagesFixture {
protected:
    KeyCodeEdit* openPrefix(std::vector<std::uint8_t> list) {
        flagsOf(image, "track1") = 0xE3;
        setCodes(recordOf(image, "track1.prefix"), std::move(list));
        openTrack(1);
        auto* entry = control<KeyCodeEdit>("3010");
        entry->setFocus();
        return entry;
    }
    std::uint8_t* prefix() { return recordOf(image, "track1.prefix"); }
};

TEST_F(KeyCodeEditTest, TypedCharactersGoIntoTheListAtOnce) {
    KeyCodeEdit* entry = openPrefix({});
    QTest::keyClicks(entry, "AB");
    EXPECT_EQ(codes(prefix()), (std::vector<int>{0x41, 0x42}));
    EXPECT_EQ(entry->text(), "AB");
    EXPECT_EQ(label("prefixCounter"), "5");
    EXPECT_EQ(target(), CodeListPanel::KeyPadTarget::Prefix);
    // "." is a character like any other.
    QTest::keyClicks(entry, ".");
    EXPECT_EQ(codes(prefix()), (std::vector<int>{0x41, 0x42, 46}));
}

TEST_F(KeyCodeEditTest, AFullListRefusesTheEighthCharacter) {
    KeyCodeEdit* entry = openPrefix({'a', 'b', 'c', 'd', 'e', 'f', 'g'});
    prefix()[8] = 0x55;
    QTest::keyClicks(entry, "h");
    EXPECT_EQ(prefix()[0], 7);
    EXPECT_EQ(prefix()[8], 0x55);
    EXPECT_EQ(entry->text(), "abcdefg");
    EXPECT_EQ(label("prefixCounter"), "0");
}

TEST_F(KeyCodeEditTest, BackspaceTakesTheLastCodeOff) {
    KeyCodeEdit* entry = openPrefix({'x', 13, 'z'});
    QTest::keyClick(entry, Qt::Key_Backspace);
    EXPECT_EQ(prefix()[0], 2);
    EXPECT_EQ(prefix()[3], 0);
    EXPECT_EQ(label("prefixCounter"), "5");
    // A code shown in braces goes from the text as a whole.
    QTest::keyClick(entry, Qt::Key_Backspace);
    EXPECT_EQ(entry->text(), "x");
    QTest::keyClick(entry, Qt::Key_Backspace);
    QTest::keyClick(entry, Qt::Key_Backspace);
    EXPECT_EQ(prefix()[0], 0);
    EXPECT_EQ(entry->text(), "");
    EXPECT_EQ(label("prefixCounter"), "7");
}

TEST_F(KeyCodeEditTest, ControlCharactersDeleteAndCaretMovesChangeNothing) {
    KeyCodeEdit* entry = openPrefix({'T', '1'});
    const auto before = image.raw();
    QTest::keyClick(entry, Qt::Key_A, Qt::ControlModifier);
    QKeyEvent ctrlA(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("\x01"));
    QApplication::sendEvent(entry, &ctrlA);
    QTest::keyClick(entry, Qt::Key_Home);
    QTest::keyClick(entry, Qt::Key_Delete);
    QTest::keyClick(entry, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(entry, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(entry, Qt::Key_K, Qt::ControlModifier);
    QKeyEvent accented(QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier, QString(QChar(0xE9)));
    QApplication::sendEvent(entry, &accented);
    EXPECT_EQ(image.raw(), before);
    EXPECT_EQ(entry->text(), "T1");
    EXPECT_EQ(entry->cursorPosition(), 2);
    EXPECT_FALSE(entry->hasSelectedText());
}

TEST_F(KeyCodeEditTest, PasteCutAndSelectionAreBlocked) {
    KeyCodeEdit* entry = openPrefix({'T', '1'});
    QApplication::clipboard()->setText(QStringLiteral("XYZ"));
    const auto before = image.raw();
    QTest::keyClick(entry, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(entry, Qt::Key_Insert, Qt::ShiftModifier);
    QTest::keyClick(entry, Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(entry, Qt::Key_Delete, Qt::ShiftModifier);
    QTest::mouseDClick(entry, Qt::LeftButton, {}, QPoint(4, 10));
    QTest::mouseClick(entry, Qt::MiddleButton, {}, QPoint(4, 10));
    EXPECT_EQ(image.raw(), before);
    EXPECT_EQ(entry->text(), "T1");
    EXPECT_FALSE(entry->hasSelectedText());
    EXPECT_EQ(entry->contextMenuPolicy(), Qt::NoContextMenu);
    EXPECT_FALSE(entry->acceptDrops());
}

TEST_F(KeyCodeEditTest, AClickInTheMiddleLeavesTheCaretAtTheEnd) {
    KeyCodeEdit* entry = openPrefix({'A', 'B', 'C'});
    QTest::mouseClick(entry, Qt::LeftButton, {}, QPoint(6, 10));
    EXPECT_EQ(entry->cursorPosition(), 3);
    QTest::keyClicks(entry, "D");
    EXPECT_EQ(entry->text(), "ABCD");
    EXPECT_EQ(codes(prefix()), (std::vector<int>{'A', 'B', 'C', 'D'}));
}

TEST_F(KeyCodeEditTest, CodesOutsidePrintableAsciiShowInBraces) {
    KeyCodeEdit* entry = openPrefix({32, 126, 127, 31, 255});
    EXPECT_EQ(entry->text(), " ~{127}{31}{255}");
}

TEST_F(KeyCodeEditTest, ACountAboveSevenIsHandledAsSevenCodes) {
    KeyCodeEdit* entry = openPrefix({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i'});
    EXPECT_EQ(prefix()[0], 9);
    EXPECT_EQ(entry->text(), "abcdefg");
    EXPECT_EQ(label("prefixCounter"), "0");
    auto expected = image.raw();
    QTest::keyClicks(entry, "x");
    EXPECT_EQ(image.raw(), expected);

    QTest::keyClick(entry, Qt::Key_Backspace);
    const std::size_t record = offsetOf("track1.prefix");
    expected[record] = 6;
    expected[record + 7] = 0;
    EXPECT_EQ(image.raw(), expected); // bytes 8 and 9 and the next record untouched
    EXPECT_EQ(entry->text(), "abcdef");
    EXPECT_EQ(label("prefixCounter"), "1");
}

// Digits typed on the main keys or the number pad go in as the key pad's buttons put them.
TEST_F(KeyCodeEditTest, TheKeyPadEntryTakesTypedDigitsAndBackspaceOnly) {
    openTrack(1);
    auto* entry = control<KeyCodeEdit>("2012");
    QTest::keyClicks(entry, "1a.");
    QTest::keyClick(entry, Qt::Key_2, Qt::KeypadModifier);
    EXPECT_EQ(entry->text(), "12");
    click("2005");
    QTest::keyClick(entry, Qt::Key_9); // a fourth digit, cut as the buttons' is
    QTest::keyClick(entry, Qt::Key_Delete);
    QTest::keyClick(entry, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(entry->text(), "125");
    QTest::keyClick(entry, Qt::Key_Backspace);
    EXPECT_EQ(entry->text(), "12");
}

} // namespace

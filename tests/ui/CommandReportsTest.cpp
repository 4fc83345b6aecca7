// The window's messages for the outcomes of the device commands, and how a message box shows
// text that comes from the reader.
#include "ui/CommandReports.h"

#include "support/RecordingMessages.h"
#include "support/ScriptedRunner.h"
#include "support/TempFolder.h"
#include "ui/ArialFont.h"
#include "ui/MainDialog.h"
#include "ui/MessageBoxMessages.h"
#include "ui/support/MainWindowFixture.h"

#include <string>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QTextLayout>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using Message = RecordingMessages::Message;

Outcome outcome(OutcomeStatus status, FailureKind kind = FailureKind::None) {
    Outcome o;
    o.status = status;
    o.failure.kind = kind;
    o.failure.port = 3;
    o.failure.device = "/dev/ttyUSB0";
    o.versionText = "V1.00";
    return o;
}

std::vector<Message> shownFor(void (*report)(CommandReports&, const Outcome&), const Outcome& o) {
    RecordingMessages messages;
    CommandReports reports(messages, "r550tool");
    report(reports, o);
    return messages.shown;
}

TEST(CommandReports, EachCommandKeepsItsTextsAndAddsTheReason) {
    const std::string inUse = "COM3 (/dev/ttyUSB0) is in use by another program. Close that "
                              "program and try again.";
    const auto serial = [](CommandReports& r, const Outcome& o) {
        r.programming(o, CommandReports::Link::Serial);
    };
    const auto keyboard = [](CommandReports& r, const Outcome& o) {
        r.programming(o, CommandReports::Link::Keyboard);
    };
    const auto readBack = [](CommandReports& r, const Outcome& o) { r.readBack(o); };
    const auto version = [](CommandReports& r, const Outcome& o) { r.firmwareVersion(o); };
    const auto reset = [](CommandReports& r, const Outcome& o) { r.reset(o); };
    using V = std::vector<Message>;

    EXPECT_EQ(shownFor(serial, outcome(OutcomeStatus::Done)),
              (V{{"Programming all value ok!", "System message", ""}}));
    EXPECT_EQ(shownFor(serial, outcome(OutcomeStatus::Failed, FailureKind::InUse)),
              (V{{"Programming all value error!", "Error message", inUse}}));
    EXPECT_EQ(shownFor(keyboard, outcome(OutcomeStatus::Failed, FailureKind::NoKeyboardAccess)),
              (V{{"Programming all default value error!", "Error message",
                  "No access to the keyboard controller. Run the tool as root or give it "
                  "CAP_SYS_RAWIO."}}));
    // CANCEL keeps the error text without a reason; Escape shows nothing.
    EXPECT_EQ(shownFor(keyboard, outcome(OutcomeStatus::Cancelled)),
              (V{{"Programming all default value error!", "Error message", ""}}));
    EXPECT_TRUE(shownFor(serial, outcome(OutcomeStatus::Dismissed)).empty());
    // Once the reader acknowledged a frame, RS232 programming that Escape stopped says what the
    // reader may hold (CANCEL: the black-box run); the keyboard line acknowledges nothing.
    const std::string partly = "The reader may now hold part of the new settings: program it "
                               "again. It acknowledged 2 of the 6 frames.";
    Outcome escaped = outcome(OutcomeStatus::Dismissed);
    escaped.framesAcknowledged = 2;
    escaped.framesInBatch = 6;
    EXPECT_EQ(shownFor(serial, escaped),
              (V{{"Programming was stopped before it ended!", "Error message", partly}}));
    EXPECT_TRUE(shownFor(keyboard, escaped).empty());

    EXPECT_TRUE(shownFor(readBack, outcome(OutcomeStatus::Done)).empty());
    EXPECT_EQ(shownFor(readBack, outcome(OutcomeStatus::Failed, FailureKind::Unplugged)),
              (V{{"Load Error", "r550tool", "The reader on COM3 was unplugged."}}));
    EXPECT_EQ(shownFor(readBack, outcome(OutcomeStatus::Failed, FailureKind::NotRs232)),
              (V{{"This function only for rs232!", "Error message", ""}}));

    EXPECT_EQ(shownFor(version, outcome(OutcomeStatus::Done)), (V{{"V1.00", "r550tool", ""}}));
    EXPECT_TRUE(shownFor(version, outcome(OutcomeStatus::Failed, FailureKind::NoAnswer)).empty());
    EXPECT_EQ(shownFor(version, outcome(OutcomeStatus::Failed, FailureKind::NotRs232)),
              (V{{"This function only for rs232!", "Error message", ""}}));

    EXPECT_EQ(shownFor(reset, outcome(OutcomeStatus::Done)),
              (V{{"Reset all to default value ok!", "System message", ""}}));
    EXPECT_EQ(shownFor(reset, outcome(OutcomeStatus::Failed, FailureKind::NoPortSelected))[0].text,
              "Reset all to default value error!");
    EXPECT_TRUE(shownFor(reset, outcome(OutcomeStatus::NotRun)).empty());
}

// Reads the box that is open, then closes it.
struct OpenBox {
    QString caption;
    QString text;
    QString informative;
    Qt::TextFormat format = Qt::AutoText;
    Qt::TextFormat informativeFormat = Qt::AutoText;
    // The reason as its label lays it out at its width: its lines, "\n" between them, when the
    // label lies within the box; without the word joiners.
    QString laidOut;
};

QString laidOut(const QLabel& label) {
    QTextLayout layout(label.text(), label.font());
    QTextOption wrap; // a token wider than the label would break anywhere
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(wrap);
    layout.beginLayout();
    QString lines;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(label.contentsRect().width());
        lines += label.text().mid(line.textStart(), line.textLength()) + u'\n';
    }
    layout.endLayout();
    return lines.remove(QChar(0x2060));
}

OpenBox showAndRead(const std::string& text, const std::string& detail,
                    const std::string& caption = "r550tool") {
    OpenBox seen;
    QTimer::singleShot(0, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen.caption = box->windowTitle();
        seen.text = box->text();
        seen.format = box->textFormat();
        seen.informative = box->informativeText().remove(QChar(0x2060));
        if (auto* label = box->findChild<QLabel*>("qt_msgbox_informativelabel")) {
            seen.informativeFormat = label->textFormat();
            if (box->rect().contains(label->geometry())) {
                seen.laidOut = laidOut(*label);
            }
        }
        box->accept();
    });
    MessageBoxMessages messages("r550tool");
    messages.show(text, caption, detail);
    return seen;
}

TEST(MessageBoxMessages, ReaderTextIsPlainLatin1AndTheReasonSitsUnderIt) {
    const OpenBox markup = showAndRead("<b>V1</b>\xB5", "");
    EXPECT_EQ(markup.text, QString::fromUtf8("<b>V1</b>\u00B5"));
    EXPECT_EQ(markup.format, Qt::PlainText);
    EXPECT_TRUE(markup.informative.isEmpty());

    const OpenBox failed = showAndRead("Load Error", "You may not open /dev/<tty>.");
    EXPECT_EQ(failed.informative, "You may not open /dev/<tty>.");
    EXPECT_EQ(failed.informativeFormat, Qt::PlainText);
}

// The program file's name, the caption of "Load Error" and of the version, is stored as UTF-8.
TEST(MessageBoxMessages, TheProgramsNameShowsAsItWasStored) {
    const std::string name = "r550-\xC3\xA9tiquette"; // "r550-étiquette"
    EXPECT_EQ(showAndRead("V2.07", "", name).caption, QString::fromUtf8("r550-\u00E9tiquette"));
}

// 40 reply bytes and a device path, each on one line of a box wide enough for them. In the
// window's font, in which 40 bytes fit the 800 pixels of the test's screen.
TEST(MessageBoxMessages, HexRunsAndPathsNeverBreakInside) {
    const QFont usual = QApplication::font();
    QApplication::setFont(arialFont(MainDialog::kFontPixelSize));
    const QString bytes = QStringList(40, QStringLiteral("C0")).join(u' ');
    const QString path =
        QStringLiteral("/dev/serial/by-id/usb-Prolific_Technology_Inc.-if00-port0");
    const QString shown =
        showAndRead("Load Error", "The reader gave an unexpected answer (" + bytes.toStdString() +
                                      ") at " + path.toStdString() + ". Try again.")
            .laidOut;
    EXPECT_TRUE(shown.contains(QString(bytes).replace(u' ', QChar(0x00A0)))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(path)) << shown.toStdString();
    QApplication::setFont(usual);
}

// A failed programming run shows its reason under the message.
TEST_F(MainWindowFixture, ProgrammingShowsWhyItFailed) {
    startWithReaderOn(3);
    // The operator switches the buzzer off.
    QCheckBox* buzzer = control<QCheckBox>("1023");
    buzzer->click();
    const bool buzzerOn = buzzer->isChecked();
    runner.result = TransferResult::Failure;
    runner.failure.kind = FailureKind::InUse;
    runner.failure.port = 3;
    runner.failure.device = "/dev/ttyS2";
    messages.shown.clear();
    command("32781");

    ASSERT_EQ(runner.received.size(), 2U);
    EXPECT_EQ((runner.last().batch.frames[0][5] & 0x80) != 0, buzzerOn);
    ASSERT_EQ(messages.shown.size(), 1U);
    EXPECT_EQ(messages.shown[0].text, "Programming all value error!");
    EXPECT_EQ(messages.shown[0].detail, "COM3 (/dev/ttyS2) is in use by another program. Close "
                                        "that program and try again.");
}

} // namespace

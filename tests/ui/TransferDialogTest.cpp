#include "ui/TransferDialog.h"

#include "link/CommandFrame.h"
#include "link/TransferEngine.h"
#include "support/EngineRig.h"
#include "support/FakeSerialPort.h"

#include <functional>
#include <memory>
#include <vector>

#include <QElapsedTimer>
#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// One window around an engine whose clock, serial port and port I/O are fakes: the window's
// timers tick in real time, but the protocol's waits pass as fast as the test moves the clock.
struct Bench : EngineRig {
    TransferDialog dialog{engine};

    explicit Bench(TransferMode mode, std::int32_t port = -1) {
        engine.transfer().mode = mode;
        engine.transfer().port = port;
        // A window still open after 4 s is closed with Escape, so a failing test never hangs.
        QTimer::singleShot(4000, &dialog, [this] {
            if (dialog.isVisible()) {
                ADD_FAILURE() << "window still open";
                dialog.reject();
            }
        });
    }

    QPushButton* button() { return dialog.findChild<QPushButton*>("1"); }
    QProgressBar* bar() { return dialog.findChild<QProgressBar*>("1036"); }

    // Runs action once condition holds while the window runs, polling every 10 ms; gives up
    // after 3 s.
    void when(std::function<bool()> condition, std::function<void()> action) {
        auto* poll = new QTimer(&dialog);
        auto since = std::make_shared<QElapsedTimer>();
        since->start();
        QObject::connect(poll, &QTimer::timeout, &dialog, [=, this] {
            if (condition()) {
                poll->stop();
                action();
            } else if (since->elapsed() > 3000) {
                poll->stop();
                ADD_FAILURE() << "condition never held";
                dialog.reject();
            }
        });
        poll->start(10);
    }
    void once(std::function<void()> action) {
        when([] { return true; }, std::move(action));
    }
};

} // namespace

TEST(TransferDialogTest, LooksLikeTheTransferWindow) {
    Bench b(TransferMode{7});
    EXPECT_TRUE(b.dialog.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(b.dialog.windowFlags().testFlag(Qt::Dialog));
    EXPECT_TRUE(b.dialog.isModal());
    auto* text = b.dialog.findChild<QLabel*>();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), "Auto Detectting");
    EXPECT_TRUE(text->alignment().testFlag(Qt::AlignHCenter));
    ASSERT_NE(b.button(), nullptr);
    EXPECT_EQ(b.button()->text(), "CANCEL");
    EXPECT_TRUE(b.button()->isDefault());
    ASSERT_NE(b.bar(), nullptr);
    EXPECT_EQ(b.bar()->minimum(), 0);
    EXPECT_EQ(b.bar()->maximum(), 100);
    EXPECT_EQ(b.bar()->value(), 0);

    // The empty part of the bar is red.
    b.dialog.show();
    const QImage image = b.bar()->grab().toImage();
    b.dialog.hide();
    const QColor empty = image.pixelColor(image.width() - 6, image.height() / 2);
    EXPECT_EQ(empty, QColor(255, 0, 0));
}

TEST(TransferDialogTest, CancelButtonAndEnterEndWithOneAndResultMinusOne) {
    for (const int how : {0, 1, 2}) {
        Bench b(TransferMode{7});
        b.engine.transfer().batch.result = TransferResult::Unknown;
        b.once([&] {
            if (how == 0) {
                QTest::mouseClick(b.button(), Qt::LeftButton);
            } else {
                QTest::keyClick(&b.dialog, how == 1 ? Qt::Key_Return : Qt::Key_Enter);
            }
        });
        EXPECT_EQ(b.dialog.exec(), 1) << how;
        EXPECT_EQ(b.engine.transfer().batch.result, TransferResult::Failure) << how;
        EXPECT_FALSE(b.dialog.progressTimer()->isActive()) << how;
        EXPECT_FALSE(b.dialog.isVisible()) << how;
    }
}

TEST(TransferDialogTest, EscapeEndsWithTwoAndLeavesResult) {
    Bench b(TransferMode{7});
    b.engine.transfer().batch.result = TransferResult::Success;
    b.once([&] { QTest::keyClick(b.button(), Qt::Key_Escape); });
    EXPECT_EQ(b.dialog.exec(), 2);
    EXPECT_EQ(b.engine.transfer().batch.result, TransferResult::Success);
    EXPECT_EQ(b.dialog.findChild<QLabel*>()->text(), "Auto Detectting");
}

TEST(TransferDialogTest, EscapeDuringASerialProbeReleasesThePort) {
    Bench b(TransferMode::AutoDetect, -1);
    b.serial.allowPort(1);
    // Past the keyboard probe's 10-second wait in no real time.
    b.when([&] { return b.engine.detectStep() == DetectStep::AwaitProbeAnswer; },
           [&] { b.clock.advance(11'000); });
    b.when([&] { return b.serial.isOpen(); }, [&] { QTest::keyClick(&b.dialog, Qt::Key_Escape); });
    EXPECT_EQ(b.dialog.exec(), 2);
    EXPECT_EQ(b.engine.transfer().port, -1);
    EXPECT_FALSE(b.serial.isOpen());
    EXPECT_EQ(b.serial.closes, 1);
}

TEST(TransferDialogTest, LetterODuringTheKeyboardWaitGivesPortZero) {
    Bench b(TransferMode::AutoDetect, -1);
    DetectStep stateAfterKey = DetectStep::SendProbe;
    b.when([&] { return b.engine.detectStep() == DetectStep::AwaitProbeAnswer; },
           [&] {
               // Typed into the focused button: the window's key hook still sees it first.
               QTest::keyClick(b.button(), Qt::Key_O);
               stateAfterKey = b.engine.detectStep();
           });
    EXPECT_EQ(b.dialog.exec(), 1);
    EXPECT_EQ(stateAfterKey, DetectStep::Found);
    EXPECT_EQ(b.engine.transfer().port, 0);
    EXPECT_EQ(b.io.values(), (std::vector<std::uint8_t>{0x1B, 0x05, 0x1E}));
}

TEST(TransferDialogTest, TheKeyInThePlaceOfOCountsWhateverTheLayout) {
    // With a Cyrillic layout the reader's O arrives as another character on the same key.
    Bench b(TransferMode::AutoDetect, -1);
    DetectStep stepAfterKey = DetectStep::SendProbe;
    b.when([&] { return b.engine.detectStep() == DetectStep::AwaitProbeAnswer; },
           [&] {
               QKeyEvent press(QEvent::KeyPress, 0x0429 /* Щ */, Qt::NoModifier, 32, 0, 0,
                               QStringLiteral("\u0449"));
               QApplication::sendEvent(b.button(), &press);
               stepAfterKey = b.engine.detectStep();
           });
    EXPECT_EQ(b.dialog.exec(), 1);
    EXPECT_EQ(stepAfterKey, DetectStep::Found);
    EXPECT_EQ(b.engine.transfer().port, 0);
}

TEST(TransferDialogTest, WorkTimerPeriodFollowsTheMode) {
    struct Case {
        TransferMode mode;
        std::int32_t port;
        int period; // 0: not started
    };
    for (const Case c :
         {Case{TransferMode::AutoDetect, -1, 100}, Case{TransferMode::Exchange, 0, 100},
          Case{TransferMode::Exchange, 3, 500}, Case{TransferMode::KeyboardBatch, -1, 100},
          Case{TransferMode{9}, -1, 0}}) {
        Bench b(c.mode, c.port);
        b.serial.allowPort(3);
        bool workActive = false;
        int workInterval = -1;
        int progressInterval = -1;
        b.once([&] {
            workActive = b.dialog.workTimer()->isActive();
            workInterval = b.dialog.workTimer()->interval();
            progressInterval =
                b.dialog.progressTimer()->isActive() ? b.dialog.progressTimer()->interval() : -1;
            b.dialog.reject();
        });
        EXPECT_EQ(b.dialog.exec(), 2) << static_cast<int>(c.mode) << "/" << c.port;
        EXPECT_EQ(workActive, c.period > 0) << static_cast<int>(c.mode) << "/" << c.port;
        if (c.period > 0) {
            EXPECT_EQ(workInterval, c.period) << static_cast<int>(c.mode) << "/" << c.port;
        }
        EXPECT_EQ(progressInterval, 100) << static_cast<int>(c.mode) << "/" << c.port;
        EXPECT_FALSE(b.serial.isOpen());
    }
}

TEST(TransferDialogTest, PortThatDoesNotOpenEndsBeforeTheWindowShows) {
    Bench b(TransferMode::Exchange, 5);
    bool shown = false;
    b.once([&] { shown = b.dialog.isVisible(); });
    EXPECT_EQ(b.dialog.exec(), 1);
    EXPECT_EQ(b.engine.transfer().batch.result, TransferResult::Failure);
    QTest::qWait(30);
    EXPECT_FALSE(shown);
    EXPECT_FALSE(b.dialog.isVisible());
    EXPECT_FALSE(b.dialog.progressTimer()->isActive());
}

TEST(TransferDialogTest, KeyboardBatchPaintsTheBarWhileItHoldsTheThread) {
    Bench b(TransferMode::KeyboardBatch);
    FrameBatch& batch = b.engine.transfer().batch;
    for (std::size_t i = 0; i < 3; ++i) {
        batch.frames[i][0] = 0xC0;
        batch.frames[i][1] = static_cast<std::uint8_t>(i);
        batch.lengths[i] = 2;
    }
    batch.count = 3;

    // Paints of the bar, and how far the send was when each happened.
    struct PaintProbe : QObject {
        const RecordingPortIo* io = nullptr;
        std::vector<std::size_t> writesAtPaint;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) {
                writesAtPaint.push_back(io->writes.size());
            }
            return false;
        }
    } probe;
    probe.io = &b.io;
    b.bar()->installEventFilter(&probe);

    EXPECT_EQ(b.dialog.exec(), 1);
    EXPECT_EQ(batch.result, TransferResult::Success);
    EXPECT_EQ(b.io.writes.size(), 2u + 3u * 3u + 2u);
    int duringSend = 0;
    for (const std::size_t writes : probe.writesAtPaint) {
        if (writes > 2 && writes < b.io.writes.size()) {
            ++duringSend;
        }
    }
    EXPECT_GE(duringSend, 3);
    EXPECT_EQ(b.bar()->value(), b.engine.progress());
}

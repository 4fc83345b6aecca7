// The device commands' two halves, as r550ctl uses them without the window's runner.
#include "operations/DeviceTransaction.h"

#include "support/OperationsBench.h"
#include "support/ScriptedRunner.h"

#include <vector>

#include <gtest/gtest.h>

namespace {

using Bench = OperationsBench<ScriptedRunner>;

void expectSameTransfer(const Transfer& window, const Transfer& prepared) {
    EXPECT_EQ(prepared.mode, window.mode);
    EXPECT_EQ(prepared.port, window.port);
    ASSERT_EQ(prepared.batch.count, window.batch.count);
    EXPECT_EQ(prepared.batch.lengths, window.batch.lengths);
    EXPECT_EQ(prepared.batch.frames, window.batch.frames);
}

} // namespace

TEST(DeviceTransaction, PreparesTheWindowsTransfersForAnyPort) {
    Bench bench;
    bench.fillWithPattern();
    bench.image.operating_mode() = SettingsImage::kModeRs232;
    bench.image.com_port() = 7;
    const SettingsImage image = bench.image;
    bench.programViaSerial();
    bench.programViaKeyboard();
    bench.loadMainSettings();
    bench.firmwareVersion();
    bench.resetReader();
    ASSERT_EQ(bench.runner.received.size(), 5U);

    const std::vector<DeviceTransaction> prepared{
        DeviceTransaction::programViaSerial(image, 7),
        DeviceTransaction::programViaKeyboard(image),
        DeviceTransaction::loadMainSettings(7),
        DeviceTransaction::firmwareVersion(7),
        DeviceTransaction::resetReader(7),
    };
    for (std::size_t i = 0; i < prepared.size(); ++i) {
        SCOPED_TRACE(i);
        expectSameTransfer(bench.runner.received[i], prepared[i].transfer());
    }
    // The keyboard line's reset is the same frame, sent to port 0.
    const Transfer keyboardReset =
        DeviceTransaction::resetReader(Transfer::kKeyboardLine).transfer();
    EXPECT_EQ(keyboardReset.port, Transfer::kKeyboardLine);
    EXPECT_EQ(keyboardReset.batch.frames, prepared[4].transfer().batch.frames);
}

TEST(DeviceTransaction, ConcludesAsTheWindowDoes) {
    DeviceTransaction load = DeviceTransaction::loadMainSettings(2);
    load.transfer().batch.result = TransferResult::Success;
    load.transfer().batch.replies[0][0] = 0x42;
    SettingsImage image;
    // Escape is dismissed whatever the batch says; the block stays as it was.
    EXPECT_EQ(load.conclude(EndCode::Escape, &image).status, OutcomeStatus::Dismissed);
    EXPECT_EQ(image.general_flags(), 0);
    // Done: written into the block when one is given, and only then.
    const Outcome withoutImage = load.conclude(EndCode::Ended);
    EXPECT_TRUE(withoutImage.done());
    EXPECT_FALSE(withoutImage.imageChanged);
    const Outcome withImage = load.conclude(EndCode::Ended, &image);
    EXPECT_TRUE(withImage.imageChanged);
    EXPECT_EQ(image.general_flags(), 0x42);
    // A failure without a reason was CANCEL.
    load.transfer().batch.result = TransferResult::Failure;
    EXPECT_EQ(load.conclude(EndCode::Ended).status, OutcomeStatus::Cancelled);
    load.transfer().failure.kind = FailureKind::Unplugged;
    EXPECT_EQ(load.conclude(EndCode::Ended).failure.kind, FailureKind::Unplugged);
}

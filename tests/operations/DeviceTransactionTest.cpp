// What the way a device command's run ended means for the command.
#include "operations/DeviceTransaction.h"

#include "operations/FailureDescription.h"
#include "settings/SettingsImage.h"
#include "support/SettingsByName.h"

#include <string>

#include <gtest/gtest.h>

// A programming run cut short after a frame has gone through leaves the reader with part of the
// new block, and says so; one that failed before any frame went through does not.
TEST(DeviceTransaction, AProgrammingRunCutShortSaysTheReaderMayHoldPartOfIt) {
    SettingsImage image;
    for (const bool viaSerial : {true, false}) {
        DeviceTransaction program =
            viaSerial ? DeviceTransaction::programViaSerial(image, PortName::number(3))
                      : DeviceTransaction::programViaKeyboard(image);
        program.transfer().batch.result = TransferResult::Failure;
        program.transfer().failure.kind = FailureKind::NoAnswer;
        program.transfer().failure.port = 3;
        EXPECT_FALSE(program.conclude(EndCode::Ended).failure.partlyProgrammed);
        program.transfer().batch.current = 2;
        const Outcome outcome = program.conclude(EndCode::Ended);
        EXPECT_NE(
            describeFailure(outcome.failure).find("part of the new settings: program it again"),
            std::string::npos);
        EXPECT_NE(briefFailure(outcome.failure).find("part of the new settings"),
                  std::string::npos);
    }
    DeviceTransaction load = DeviceTransaction::loadMainSettings(PortName::number(3));
    load.transfer().batch.result = TransferResult::Failure;
    load.transfer().failure.kind = FailureKind::NoAnswer;
    load.transfer().batch.current = 2;
    EXPECT_FALSE(load.conclude(EndCode::Ended).failure.partlyProgrammed);
}

TEST(DeviceTransaction, ConcludesAsTheWindowDoes) {
    DeviceTransaction load = DeviceTransaction::loadMainSettings(PortName::number(2));
    load.transfer().batch.result = TransferResult::Success;
    load.transfer().batch.replies[0][0] = 0x42;
    SettingsImage image;
    // Escape is dismissed whatever the batch says; the block stays as it was.
    EXPECT_EQ(load.conclude(EndCode::Escape, &image).status, OutcomeStatus::Dismissed);
    EXPECT_EQ(flagsOf(image, "main"), 0);
    // Done: written into the block when one is given, and only then.
    const Outcome withoutImage = load.conclude(EndCode::Ended);
    EXPECT_TRUE(withoutImage.done());
    EXPECT_FALSE(withoutImage.imageChanged);
    const Outcome withImage = load.conclude(EndCode::Ended, &image);
    EXPECT_TRUE(withImage.imageChanged);
    EXPECT_EQ(flagsOf(image, "main"), 0x42);
    // A failure without a reason was CANCEL.
    load.transfer().batch.result = TransferResult::Failure;
    EXPECT_EQ(load.conclude(EndCode::Ended).status, OutcomeStatus::Cancelled);
    load.transfer().failure.kind = FailureKind::Unplugged;
    EXPECT_EQ(load.conclude(EndCode::Ended).failure.kind, FailureKind::Unplugged);
}

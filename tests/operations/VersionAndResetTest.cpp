#include "link/Transfer.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingsFile.h"
#include "support/OperationsBench.h"
#include "support/ScriptedRunner.h"
#include "support/SettingsByName.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Bench = OperationsBench<ScriptedRunner>;

TEST(FirmwareVersion, AsksComPortAndShowsTheText) {
    Bench bench;
    bench.factoryOnSerial(4);
    bench.runner.replies[0] = {'V', '1', '.', '0', '0'};
    const SettingsImage before = bench.image;
    bench.firmwareVersion();

    ASSERT_TRUE(bench.sentOne(TransferMode::Exchange, 4, 1));
    const Transfer& t = bench.runner.last();
    EXPECT_EQ(frameBytes(t, 0), (Bytes{0x1B, 0x01}));
    expectOutcome(bench.outcome, OutcomeStatus::Done);
    EXPECT_EQ(bench.outcome.versionText, "V1.00");
    EXPECT_EQ(bench.image.raw(), before.raw());
    EXPECT_FALSE(bench.outcome.imageChanged);
}

TEST(FirmwareVersion, TextEndsAtTheFirstZeroOrAtTheEndOfTheSlot) {
    Bench bench;
    bench.factoryOnSerial();
    bench.runner.replies[0] = {'R', '5', 0x00, 'x', 'y'};
    bench.firmwareVersion();
    EXPECT_EQ(bench.outcome.versionText, "R5");

    // A reply of 255 characters leaves no terminating zero in the slot.
    Bench full;
    full.factoryOnSerial();
    full.runner.replies[0] = Bytes(255, 'A');
    full.firmwareVersion();
    EXPECT_EQ(full.outcome.versionText, std::string(255, 'A'));
}

TEST(FirmwareVersion, FailuresGiveNoText) {
    for (const auto& [endCode, result] : std::vector<std::pair<EndCode, TransferResult>>{
             {EndCode::Ended, TransferResult::Failure},
             {EndCode::Ended, TransferResult::Unknown},
             {EndCode::Escape, TransferResult::Success}}) {
        Bench bench;
        bench.factoryOnSerial();
        bench.runner.endCode = endCode;
        bench.runner.result = result;
        bench.runner.replies[0] = {'V', '1'};
        bench.firmwareVersion();
        EXPECT_EQ(bench.runner.received.size(), 1U);
        EXPECT_FALSE(bench.outcome.done());
        EXPECT_TRUE(bench.outcome.versionText.empty());
    }
}

TEST(FirmwareVersion, GuardAndPortChoice) {
    for (const int mode : {0x00, 0xFF}) {
        Bench bench;
        bench.factoryOnSerial();
        byteOf(bench.image, "main.operating_mode") = static_cast<std::uint8_t>(mode);
        bench.firmwareVersion();
        EXPECT_TRUE(bench.runner.received.empty()) << mode;
        expectOutcome(bench.outcome, OutcomeStatus::Failed, FailureKind::NotRs232);
    }

    Bench notFound;
    notFound.factoryOnSerial(2);
    byteOf(notFound.image, "main.operating_mode") = SettingTable::kModeNotFound;
    notFound.firmwareVersion();
    ASSERT_EQ(notFound.runner.received.size(), 1U);
    EXPECT_EQ(notFound.runner.last().port, 2);

    // No serial port named: nothing is sent through the keyboard line.
    for (const int mode : {0x01, 0x03}) {
        Bench keyboardPort;
        keyboardPort.factoryOnSerial(0);
        byteOf(keyboardPort.image, "main.operating_mode") = static_cast<std::uint8_t>(mode);
        keyboardPort.firmwareVersion();
        EXPECT_TRUE(keyboardPort.runner.received.empty()) << mode;
        expectOutcome(keyboardPort.outcome, OutcomeStatus::Failed, FailureKind::NoPortSelected);
    }
}

// The block a reset must leave: the factory values over what was there.
SettingsImage factoryOver(const SettingsImage& before, std::uint8_t operatingMode) {
    SettingsImage expected = before;
    writeFactoryValues(expected);
    byteOf(expected, "main.operating_mode") = operatingMode;
    return expected;
}

void expectDefaultFileHolds(const std::string& file, const SettingsImage& expected) {
    SettingsImage read;
    ASSERT_EQ(readSettingsFile(read, file), 0);
    EXPECT_EQ(read.raw(), expected.raw());
}

TEST(FactoryReset, EveryOutcomeAppliesTheFactoryValues) {
    const TransferEnding cases[] = {
        {EndCode::Ended, TransferResult::Success, OutcomeStatus::Done},
        {EndCode::Ended, TransferResult::Failure, OutcomeStatus::Cancelled},
        {EndCode::Ended, TransferResult::Unknown, OutcomeStatus::Cancelled},
        {EndCode::Escape, TransferResult::Success, OutcomeStatus::Dismissed},
        {EndCode::Escape, TransferResult::Failure, OutcomeStatus::Dismissed},
    };
    for (const TransferEnding& c : cases) {
        SCOPED_TRACE(testing::Message() << "end code " << static_cast<int>(c.endCode) << " result "
                                        << static_cast<int>(c.result));
        Bench bench;
        bench.fillWithPattern();
        byteOf(bench.image, "main.operating_mode") = SettingTable::kModeRs232;
        byteOf(bench.image, "main.com_port") = 6;
        bench.runner.endCode = c.endCode;
        bench.runner.result = c.result;
        const SettingsImage expected = factoryOver(bench.image, SettingTable::kModeRs232);
        bench.resetReader();

        ASSERT_TRUE(bench.sentOne(TransferMode::Exchange, 6, 1));
        const Transfer& t = bench.runner.last();
        EXPECT_EQ(frameBytes(t, 0), (Bytes{0x1B, 0x21, 0x01, 0xFF}));
        EXPECT_EQ(bench.outcome.status, c.status);
        EXPECT_TRUE(bench.outcome.imageChanged);
        EXPECT_TRUE(bench.outcome.defaultFileWritten);
        EXPECT_EQ(bench.image.raw(), expected.raw());
        expectDefaultFileHolds(bench.defaultFile, expected);
    }
}

TEST(FactoryReset, UnknownReaderDoesNothing) {
    Bench bench;
    bench.fillWithPattern();
    byteOf(bench.image, "main.operating_mode") = SettingTable::kUnknown;
    const SettingsImage before = bench.image;
    bench.resetReader();

    EXPECT_TRUE(bench.runner.received.empty());
    expectOutcome(bench.outcome, OutcomeStatus::NotRun);
    EXPECT_FALSE(bench.outcome.imageChanged);
    EXPECT_EQ(bench.image.raw(), before.raw());
    EXPECT_FALSE(std::filesystem::exists(bench.defaultFile));
}

TEST(FactoryReset, KeyboardLineGoesThroughPortZero) {
    Bench bench;
    bench.factoryOnSerial(0);
    byteOf(bench.image, "main.operating_mode") = SettingTable::kModeKeyboardWedge;
    bench.resetReader();

    ASSERT_EQ(bench.runner.received.size(), 1U);
    EXPECT_EQ(bench.runner.last().port, 0);
    EXPECT_EQ(byteOf(bench.image, "main.operating_mode"), SettingTable::kModeKeyboardWedge);
    expectOutcome(bench.outcome, OutcomeStatus::Done);
}

TEST(FactoryReset, NoSerialPortSendsNothingAndFails) {
    // A start that found no reader leaves mode 3 and port 0xFF; a Main Settings page stored with
    // no port selected leaves com_port 0. Neither may send the frame into the keyboard line and
    // report it confirmed; the factory values are applied all the same.
    for (const int port : {0x00, 0xFF}) {
        for (const std::uint8_t mode : {SettingTable::kModeRs232, SettingTable::kModeNotFound}) {
            Bench bench;
            bench.factoryOnSerial(static_cast<std::uint8_t>(port));
            byteOf(bench.image, "main.operating_mode") = mode;
            recordOf(bench.image, "msr.prefix")[0] = 0x07;
            const SettingsImage expected = factoryOver(bench.image, SettingTable::kModeRs232);
            bench.resetReader();

            EXPECT_TRUE(bench.runner.received.empty());
            expectOutcome(bench.outcome, OutcomeStatus::Failed, FailureKind::NoPortSelected);
            EXPECT_EQ(bench.image.raw(), expected.raw());
            expectDefaultFileHolds(bench.defaultFile, expected);
        }
    }
}

TEST(FactoryReset, UnwritableDefaultFileIsReported) {
    Bench bench;
    bench.factoryOnSerial();
    bench.defaultFile = (bench.folder.path() / "missing" / "Default.cfg").string();
    bench.resetReader();

    expectOutcome(bench.outcome, OutcomeStatus::Done);
    EXPECT_FALSE(bench.outcome.defaultFileWritten);
}

} // namespace

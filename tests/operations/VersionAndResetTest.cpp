#include "link/Transfer.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingsFile.h"
#include "support/OperationsBench.h"
#include "support/ScriptedRunner.h"

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
    bench.operations.detectFirmwareVersion();

    ASSERT_EQ(bench.runner.received.size(), 1U);
    const Transfer& t = bench.runner.last();
    EXPECT_EQ(t.mode, Exchange);
    EXPECT_EQ(t.port, 4);
    EXPECT_EQ(t.batch.count, 1);
    EXPECT_EQ(frameBytes(t, 0), (Bytes{0x1B, 0x01}));
    expectOutcome(bench.messages, {1, 1, "V1.00", "r550tool"});
    EXPECT_EQ(bench.image.raw(), before.raw());
    EXPECT_TRUE(bench.pages.calls.empty());
}

TEST(FirmwareVersion, TextEndsAtTheFirstZeroOrAtTheEndOfTheSlot) {
    Bench bench;
    bench.factoryOnSerial();
    bench.runner.replies[0] = {'R', '5', 0x00, 'x', 'y'};
    bench.operations.detectFirmwareVersion();
    expectOutcome(bench.messages, {1, 1, "R5", "r550tool"});

    // A reply of 255 characters leaves no terminating zero in the slot.
    Bench full;
    full.factoryOnSerial();
    full.runner.replies[0] = Bytes(255, 'A');
    full.operations.detectFirmwareVersion();
    ASSERT_EQ(full.messages.shown.size(), 1U);
    EXPECT_EQ(full.messages.shown[0].text, std::string(255, 'A'));
}

TEST(FirmwareVersion, FailuresShowNothing) {
    for (const auto& [endCode, result] :
         std::vector<std::pair<int, int>>{{1, -1}, {1, 0}, {2, 1}}) {
        SCOPED_TRACE(testing::Message() << "end code " << endCode << " result " << result);
        Bench bench;
        bench.factoryOnSerial();
        bench.runner.endCode = endCode;
        bench.runner.result = result;
        bench.runner.replies[0] = {'V', '1'};
        bench.operations.detectFirmwareVersion();
        EXPECT_EQ(bench.runner.received.size(), 1U);
        EXPECT_TRUE(bench.messages.shown.empty());
    }
}

TEST(FirmwareVersion, GuardAndPortChoice) {
    for (const int mode : {0x00, 0xFF}) {
        Bench bench;
        bench.factoryOnSerial();
        bench.image.operating_mode() = static_cast<std::uint8_t>(mode);
        bench.operations.detectFirmwareVersion();
        EXPECT_TRUE(bench.runner.received.empty()) << mode;
        expectOutcome(bench.messages, {1, 1, "This function only for rs232!", "Error message"});
    }

    Bench notFound;
    notFound.factoryOnSerial(2);
    notFound.image.operating_mode() = SettingsImage::kModeNotFound;
    notFound.operations.detectFirmwareVersion();
    ASSERT_EQ(notFound.runner.received.size(), 1U);
    EXPECT_EQ(notFound.runner.last().port, 2);

    // No serial port named: nothing is sent through the keyboard line, and like any failed
    // query nothing is shown.
    for (const int mode : {0x01, 0x03}) {
        Bench keyboardPort;
        keyboardPort.factoryOnSerial(0);
        keyboardPort.image.operating_mode() = static_cast<std::uint8_t>(mode);
        keyboardPort.operations.detectFirmwareVersion();
        EXPECT_TRUE(keyboardPort.runner.received.empty()) << mode;
        EXPECT_TRUE(keyboardPort.messages.shown.empty()) << mode;
    }
}

// The block a reset must leave: the factory values over what was there.
SettingsImage factoryOver(const SettingsImage& before, std::uint8_t operatingMode) {
    SettingsImage expected = before;
    writeFactoryValues(expected);
    expected.operating_mode() = operatingMode;
    return expected;
}

void expectDefaultFileHolds(const std::string& file, const SettingsImage& expected) {
    SettingsImage read;
    ASSERT_EQ(readSettingsFile(read, file), 0);
    EXPECT_EQ(read.raw(), expected.raw());
}

TEST(FactoryReset, EveryOutcomeAppliesTheFactoryValues) {
    const std::vector<Outcome> outcomes = {
        {1, 1, "Reset all to default value ok!", "System message"},
        {1, -1, "Reset all to default value error!", "Error message"}, // no port, CANCEL
        {1, 0, "Reset all to default value error!", "Error message"},
        {2, 1, nullptr, nullptr}, // Escape
        {2, -1, nullptr, nullptr},
    };
    for (const Outcome& o : outcomes) {
        SCOPED_TRACE(testing::Message() << "end code " << o.endCode << " result " << o.result);
        Bench bench;
        bench.fillWithPattern();
        bench.image.operating_mode() = SettingsImage::kModeRs232;
        bench.image.com_port() = 6;
        bench.runner.endCode = o.endCode;
        bench.runner.result = o.result;
        const SettingsImage expected = factoryOver(bench.image, SettingsImage::kModeRs232);
        bench.operations.resetReaderToFactoryDefault();

        ASSERT_EQ(bench.runner.received.size(), 1U);
        const Transfer& t = bench.runner.last();
        EXPECT_EQ(t.mode, Exchange);
        EXPECT_EQ(t.port, 6);
        EXPECT_EQ(t.batch.count, 1);
        EXPECT_EQ(frameBytes(t, 0), (Bytes{0x1B, 0x21, 0x01, 0xFF}));
        expectOutcome(bench.messages, o);
        EXPECT_EQ(bench.image.raw(), expected.raw());
        expectDefaultFileHolds(bench.defaultFile, expected);
        EXPECT_EQ(bench.pages.calls,
                  (std::vector<std::string>{"refreshPages", "returnToMainPage"}));
    }
}

TEST(FactoryReset, UnknownReaderDoesNothing) {
    Bench bench;
    bench.fillWithPattern();
    bench.image.operating_mode() = SettingsImage::kUnknown;
    const SettingsImage before = bench.image;
    bench.operations.resetReaderToFactoryDefault();

    EXPECT_TRUE(bench.runner.received.empty());
    EXPECT_TRUE(bench.messages.shown.empty());
    EXPECT_TRUE(bench.pages.calls.empty());
    EXPECT_EQ(bench.image.raw(), before.raw());
    EXPECT_FALSE(std::filesystem::exists(bench.defaultFile));
}

TEST(FactoryReset, KeyboardLineGoesThroughPortZero) {
    Bench bench;
    bench.factoryOnSerial(0);
    bench.image.operating_mode() = SettingsImage::kModeKeyboardWedge;
    bench.operations.resetReaderToFactoryDefault();

    ASSERT_EQ(bench.runner.received.size(), 1U);
    EXPECT_EQ(bench.runner.last().port, 0);
    EXPECT_EQ(bench.image.operating_mode(), SettingsImage::kModeKeyboardWedge);
    expectOutcome(bench.messages, {1, 1, "Reset all to default value ok!", "System message"});
}

TEST(FactoryReset, ReaderNotFoundBecomesRs232AndFails) {
    Bench bench;
    bench.factoryOnSerial(0xFF);
    bench.image.operating_mode() = SettingsImage::kModeNotFound;
    bench.image.msr_prefix()[0] = 0x07;
    bench.runner.result = -1; // COM255 cannot be opened
    const SettingsImage expected = factoryOver(bench.image, SettingsImage::kModeRs232);
    bench.operations.resetReaderToFactoryDefault();

    ASSERT_EQ(bench.runner.received.size(), 1U);
    EXPECT_EQ(bench.runner.last().port, 0xFF);
    EXPECT_EQ(bench.image.operating_mode(), SettingsImage::kModeRs232);
    EXPECT_EQ(bench.image.com_port(), 0xFF);
    expectOutcome(bench.messages, {1, -1, "Reset all to default value error!", "Error message"});
    EXPECT_EQ(bench.image.raw(), expected.raw());
    expectDefaultFileHolds(bench.defaultFile, expected);
}

TEST(FactoryReset, Rs232WithoutAPortSendsNothingAndFails) {
    // A Main Settings page stored with no port selected leaves com_port 0; the frame must not
    // go into the keyboard line and be reported as confirmed.
    for (const std::uint8_t mode : {SettingsImage::kModeRs232, SettingsImage::kModeNotFound}) {
        Bench bench;
        bench.factoryOnSerial(0);
        bench.image.operating_mode() = mode;
        bench.operations.resetReaderToFactoryDefault();

        EXPECT_TRUE(bench.runner.received.empty());
        ASSERT_EQ(bench.messages.shown.size(), 1U);
        EXPECT_EQ(bench.messages.shown[0].text, "Reset all to default value error!");
        EXPECT_EQ(bench.messages.shown[0].caption, "Error message");
        EXPECT_EQ(bench.image.operating_mode(), SettingsImage::kModeRs232);
        EXPECT_TRUE(std::filesystem::exists(bench.defaultFile)); // factory values all the same
        EXPECT_EQ(bench.pages.calls.back(), "returnToMainPage");
    }
}

TEST(FactoryReset, UnwritableDefaultFileShowsTheFileError) {
    Bench bench;
    bench.factoryOnSerial();
    bench.defaultFile = (bench.folder.path() / "missing" / "Default.cfg").string();
    DeviceOperations operations(bench.image, bench.runner, bench.messages, bench.pages, "r550tool",
                                bench.defaultFile);
    operations.resetReaderToFactoryDefault();

    expectOutcome(bench.messages, {1, 1, "Reset all to default value ok!", "System message"});
    EXPECT_EQ(bench.messages.fileErrors, 1);
    EXPECT_EQ(bench.pages.calls, (std::vector<std::string>{"refreshPages", "returnToMainPage"}));
}

} // namespace

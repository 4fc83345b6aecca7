#include "link/Transfer.h"
#include "support/OperationsBench.h"
#include "support/ScriptedRunner.h"
#include "support/SettingsByName.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Bench = OperationsBench<ScriptedRunner>;

// The patterned block of an RS232 reader at COM5.
void fillWithPattern(Bench& bench) {
    bench.fillWithPattern();
    byteOf(bench.image, "main.operating_mode") = SettingTable::kModeRs232;
    byteOf(bench.image, "main.com_port") = 5;
}

// Replies of a reader that holds the factory values.
void answerWithFactoryValues(ScriptedRunner& runner) {
    runner.replies[0] = {0x86, 0x01, 0x0A, 0x05, 0x80, 0xA3, 0xA3, 0xA3, 0x83};
    runner.replies[1] = {0x02, 'C', 'R', 0, 0, 0, 0, 0, 0x02, 'C',  'R',  0, 0, 0, 0, 0,
                         0x02, 'T', '1', 0, 0, 0, 0, 0, 0x02, 0x0D, 0x0A, 0, 0, 0, 0, 0,
                         0x02, 'T', '2', 0, 0, 0, 0, 0, 0x02, 0x0D, 0x0A, 0, 0, 0, 0, 0,
                         0x02, 'T', '3', 0, 0, 0, 0, 0, 0x02, 0x0D, 0x0A, 0, 0, 0, 0, 0};
    runner.replies[2] = {0x4E, 0x4E, 0x4E, 0x00};
}

void expectSameBlock(const SettingsImage& actual, const SettingsImage& expected) {
    for (std::size_t i = 0; i < SettingsImage::kSize; ++i) {
        EXPECT_EQ(actual.raw()[i], expected.raw()[i]) << "offset 0x" << std::hex << i;
    }
}

void put(SettingsImage& image, std::size_t offset, const Bytes& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        image.raw()[offset + i] = bytes[i];
    }
}

// Data byte 0 of slots 10..18 and 20..23 as a factory reader returns them.
void putFactoryParameters(SettingsImage& expected) {
    const std::vector<std::pair<std::size_t, std::uint8_t>> parameters = {
        {0x262, 0x86}, {0x26C, 0x01}, {0x276, 0x0A}, {0x280, 0x05}, {0x28A, 0x80},
        {0x294, 0xA3}, {0x29E, 0xA3}, {0x2A8, 0xA3}, {0x2B2, 0x83}, {0x2C6, 0x4E},
        {0x2D0, 0x4E}, {0x2DA, 0x4E}, {0x2E4, 0x00}};
    for (const auto& [offset, value] : parameters) {
        expected.raw()[offset] = value;
    }
}

TEST(ReadBackFrames, ThreeReadBlocksOnComPort) {
    Bench bench;
    bench.factoryOnSerial(5);
    bench.loadMainSettings();

    ASSERT_TRUE(bench.sentOne(TransferMode::Exchange, 5, 3));
    const Transfer& t = bench.runner.last();
    EXPECT_EQ(frameBytes(t, 0), (Bytes{0x1B, 0x1C, 0xC0, 0x00, 0x09}));
    EXPECT_EQ(frameBytes(t, 1), (Bytes{0x1B, 0x1C, 0xC1, 0x10, 0x40}));
    EXPECT_EQ(frameBytes(t, 2), (Bytes{0x1B, 0x1C, 0xC0, 0x10, 0x04}));
}

TEST(ReadBackGuard, RefusesTheKeyboardLineAndAnUnknownReader) {
    for (const int mode : {0x00, 0xFF}) {
        SCOPED_TRACE(mode);
        Bench bench;
        bench.factoryOnSerial();
        byteOf(bench.image, "main.operating_mode") = static_cast<std::uint8_t>(mode);
        const SettingsImage before = bench.image;
        bench.loadMainSettings();

        EXPECT_TRUE(bench.runner.received.empty());
        expectOutcome(bench.outcome, OutcomeStatus::Failed, FailureKind::NotRs232);
        EXPECT_FALSE(bench.outcome.imageChanged);
        EXPECT_EQ(bench.image.raw(), before.raw());
    }
}

TEST(ReadBackGuard, OtherModesReadFromComPort) {
    // 3 is left by a start that found no reader; any other value may come from a file.
    for (const int mode : {0x03, 0x02, 0x80}) {
        SCOPED_TRACE(mode);
        Bench bench;
        bench.factoryOnSerial(9);
        byteOf(bench.image, "main.operating_mode") = static_cast<std::uint8_t>(mode);
        bench.loadMainSettings();

        ASSERT_EQ(bench.runner.received.size(), 1U);
        EXPECT_EQ(bench.runner.last().port, 9);
        EXPECT_EQ(bench.runner.last().batch.count, 3);
        EXPECT_EQ(byteOf(bench.image, "main.operating_mode"), mode);
    }
}

TEST(ReadBackGuard, NoSerialPortFailsWithoutATransaction) {
    // com_port 0 names the keyboard line, which cannot answer a read block; 0xFF no port at all.
    for (const int mode : {0x01, 0x03}) {
        SCOPED_TRACE(mode);
        Bench bench;
        bench.factoryOnSerial(mode == 0x01 ? 0x00 : 0xFF);
        byteOf(bench.image, "main.operating_mode") = static_cast<std::uint8_t>(mode);
        const SettingsImage before = bench.image;
        bench.loadMainSettings();

        EXPECT_TRUE(bench.runner.received.empty());
        expectOutcome(bench.outcome, OutcomeStatus::Failed, FailureKind::NoPortSelected);
        EXPECT_EQ(bench.image.raw(), before.raw());
    }
}

TEST(ReadBackOutcome, FailureAndEscapeLeaveTheImage) {
    const TransferEnding cases[] = {
        {EndCode::Ended, TransferResult::Failure, OutcomeStatus::Failed},
        {EndCode::Ended, TransferResult::Unknown, OutcomeStatus::Failed},
        {EndCode::Escape, TransferResult::Success, OutcomeStatus::Dismissed},
        {EndCode::Escape, TransferResult::Failure, OutcomeStatus::Dismissed},
    };
    for (const TransferEnding& c : cases) {
        SCOPED_TRACE(testing::Message() << "end code " << static_cast<int>(c.endCode));
        Bench bench;
        fillWithPattern(bench);
        bench.runner.endCode = c.endCode;
        bench.runner.result = c.result;
        bench.runner.failure.kind = FailureKind::NoAnswer;
        answerWithFactoryValues(bench.runner);
        const SettingsImage before = bench.image;
        bench.loadMainSettings();

        EXPECT_EQ(bench.outcome.status, c.status);
        EXPECT_EQ(bench.image.raw(), before.raw());
        EXPECT_FALSE(bench.outcome.imageChanged);
    }
}

TEST(ReadBackOutcome, SuccessWritesExactlyTheNamedBytes) {
    Bench bench;
    fillWithPattern(bench);
    answerWithFactoryValues(bench.runner);
    SettingsImage expected = bench.image;
    bench.loadMainSettings();

    putFactoryParameters(expected);
    // Length and both codes of each string; the bytes behind them stay.
    put(expected, 0x2EE, {0x02, 'C', 'R'});
    put(expected, 0x2F8, {0x02, 'C', 'R'});
    put(expected, 0x302, {0x02, 'T', '1'});
    put(expected, 0x30C, {0x02, 0x0D, 0x0A});
    put(expected, 0x316, {0x02, 'T', '2'});
    put(expected, 0x320, {0x02, 0x0D, 0x0A});
    put(expected, 0x32A, {0x02, 'T', '3'});
    put(expected, 0x334, {0x02, 0x0D, 0x0A});

    expectOutcome(bench.outcome, OutcomeStatus::Done);
    EXPECT_TRUE(bench.outcome.imageChanged);
    expectSameBlock(bench.image, expected);
}

TEST(ReadBackStrings, LengthDecidesWhatIsCopied) {
    Bench bench;
    fillWithPattern(bench);
    answerWithFactoryValues(bench.runner);
    bench.runner.replies[1] = {
        0x02, 0x0D, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x00, // CR LF
        0x03, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, // control codes
        0x00, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, // empty
        0x09, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, // a length above the room
        0x07, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, // full
        0xFF, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, // another length above the room
        0x01, 0x7E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, //
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, //
    };
    SettingsImage expected = bench.image;
    putFactoryParameters(expected);
    put(expected, 0x2EE, {0x02, 0x0D, 0x0A});
    put(expected, 0x2F8, {0x03, 0x01, 0x02, 0x03});
    put(expected, 0x302, {0x00});
    // Length kept as received, seven codes at most: data bytes 8 and 9 keep their values and
    // the next group's length byte is not taken for a code.
    put(expected, 0x30C, {0x09, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67});
    put(expected, 0x316, {0x07, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37});
    put(expected, 0x320, {0xFF, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7});
    put(expected, 0x32A, {0x01, 0x7E});
    put(expected, 0x334, {0x00});

    bench.loadMainSettings();
    expectSameBlock(bench.image, expected);
}

} // namespace

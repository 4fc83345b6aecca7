#include "link/Transfer.h"
#include "support/OperationsBench.h"
#include "support/ScriptedRunner.h"
#include "support/SettingsByName.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Bench = OperationsBench<ScriptedRunner>;

// Factory string records as the reader's eight bytes: length, two codes, five zero bytes.
Bytes factoryString(std::uint8_t a, std::uint8_t b) {
    return {0x02, a, b, 0x00, 0x00, 0x00, 0x00, 0x00};
}

Bytes concat(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

// An image as a file may hold it: group and sub-code bytes that differ from the factory ones,
// codes behind the string lengths, and bytes that no frame may carry (slot 19, data bytes 8
// and 9 of a string, data bytes 1..9 of a byte parameter).
void editAsFromFile(SettingsImage& image) {
    image.group(26) = 0xC5;
    image.subcode(26) = 0x99;
    image.subcode(12) = 0x42;
    const Bytes trackPrefix{0x03, 'A', 'B', 'C', 'x', 'y', 'z', 'w', 0xEE, 0xEE};
    std::copy(trackPrefix.begin(), trackPrefix.end(), recordOf(image, "track1.prefix"));
    const Bytes msrSuffix{0x07, '1', '2', '3', '4', '5', '6', '7', 0xEE, 0xEE};
    std::copy(msrSuffix.begin(), msrSuffix.end(), recordOf(image, "msr.suffix"));
    image.data(19)[0] = 0x99;
    image.data(10)[1] = 0x99;
    flagsOf(image, "main") = 0x00;
    image.data(23)[0] = 0xFF;
    flagsOf(image, "iso2") = 0xE1;
}

TEST(ProgrammingViaKeyboard, FactoryImageGivesTheRecordsAsEntries) {
    Bench bench;
    bench.factoryOnSerial();
    bench.programViaKeyboard();

    ASSERT_TRUE(bench.sentOne(TransferMode::KeyboardBatch, 1, 21));
    const Transfer& t = bench.runner.last();

    const std::vector<Bytes> expected = {
        {0xC0, 0x00, 0x01, 0x86},
        {0xC0, 0x01, 0x01, 0x01},
        {0xC0, 0x02, 0x01, 0x0A},
        {0xC0, 0x03, 0x01, 0x05},
        {0xC0, 0x04, 0x01, 0x80},
        {0xC0, 0x05, 0x01, 0xA3},
        {0xC0, 0x06, 0x01, 0xA3},
        {0xC0, 0x07, 0x01, 0xA3},
        {0xC0, 0x08, 0x01, 0x83},
        {0xC0, 0x10, 0x01, 0x4E},
        {0xC0, 0x11, 0x01, 0x4E},
        {0xC0, 0x12, 0x01, 0x4E},
        {0xC0, 0x13, 0x01, 0x00},
        concat({0xC1, 0x10, 0x08}, factoryString('C', 'R')),
        concat({0xC1, 0x18, 0x08}, factoryString('C', 'R')),
        concat({0xC1, 0x20, 0x08}, factoryString('T', '1')),
        concat({0xC1, 0x28, 0x08}, factoryString(0x0D, 0x0A)),
        concat({0xC1, 0x30, 0x08}, factoryString('T', '2')),
        concat({0xC1, 0x38, 0x08}, factoryString(0x0D, 0x0A)),
        concat({0xC1, 0x40, 0x08}, factoryString('T', '3')),
        concat({0xC1, 0x48, 0x08}, factoryString(0x0D, 0x0A)),
    };
    for (int i = 0; i < 21; ++i) {
        EXPECT_EQ(frameBytes(t, i), expected[static_cast<std::size_t>(i)]) << "entry " << i;
    }
}

TEST(ProgrammingViaKeyboard, SendsTheImagesOwnAddressesAndEveryStringByte) {
    Bench bench;
    bench.factoryOnSerial();
    editAsFromFile(bench.image);
    bench.programViaKeyboard();

    const Transfer& t = bench.runner.last();
    ASSERT_EQ(t.batch.count, 21);
    EXPECT_EQ(frameBytes(t, 0), (Bytes{0xC0, 0x00, 0x01, 0x00}));
    EXPECT_EQ(frameBytes(t, 2), (Bytes{0xC0, 0x42, 0x01, 0x0A}));
    // Entry 9 is slot 20: slot 19 is skipped, whatever it holds.
    EXPECT_EQ(frameBytes(t, 9), (Bytes{0xC0, 0x10, 0x01, 0x4E}));
    EXPECT_EQ(frameBytes(t, 10), (Bytes{0xC0, 0x11, 0x01, 0xE1}));
    EXPECT_EQ(frameBytes(t, 12), (Bytes{0xC0, 0x13, 0x01, 0xFF}));
    EXPECT_EQ(frameBytes(t, 14),
              (Bytes{0xC1, 0x18, 0x08, 0x07, '1', '2', '3', '4', '5', '6', '7'}));
    EXPECT_EQ(frameBytes(t, 15),
              (Bytes{0xC5, 0x99, 0x08, 0x03, 'A', 'B', 'C', 'x', 'y', 'z', 'w'}));
}

TEST(ProgrammingViaKeyboard, DoesNotDependOnTheLinkSettings) {
    for (const int mode : {0x00, 0x01, 0x03, 0xFF}) {
        Bench bench;
        bench.factoryOnSerial(0xFF);
        byteOf(bench.image, "main.operating_mode") = static_cast<std::uint8_t>(mode);
        bench.programViaKeyboard();
        ASSERT_EQ(bench.runner.received.size(), 1U) << "mode " << mode;
        EXPECT_EQ(bench.runner.last().mode, TransferMode::KeyboardBatch);
        EXPECT_EQ(bench.runner.last().port, 1);
    }
}

TEST(ProgrammingViaSerial, FactoryImageGivesSixWriteBlocks) {
    Bench bench;
    bench.factoryOnSerial(7);
    bench.programViaSerial();

    ASSERT_TRUE(bench.sentOne(TransferMode::Exchange, 7, 6));
    const Transfer& t = bench.runner.last();

    const std::vector<Bytes> expected = {
        {0x1B, 0x1D, 0xC0, 0x00, 0x09, 0x86, 0x01, 0x0A, 0x05, 0x80, 0xA3, 0xA3, 0xA3, 0x83},
        concat(concat({0x1B, 0x1D, 0xC1, 0x10, 0x10}, factoryString('C', 'R')),
               factoryString('C', 'R')),
        concat(concat({0x1B, 0x1D, 0xC1, 0x20, 0x10}, factoryString('T', '1')),
               factoryString(0x0D, 0x0A)),
        concat(concat({0x1B, 0x1D, 0xC1, 0x30, 0x10}, factoryString('T', '2')),
               factoryString(0x0D, 0x0A)),
        concat(concat({0x1B, 0x1D, 0xC1, 0x40, 0x10}, factoryString('T', '3')),
               factoryString(0x0D, 0x0A)),
        {0x1B, 0x1D, 0xC0, 0x10, 0x04, 0x4E, 0x4E, 0x4E, 0x00},
    };
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(frameBytes(t, i), expected[static_cast<std::size_t>(i)]) << "frame " << i;
    }
    EXPECT_EQ(frameBytes(t, 1).size(), 21U);
}

TEST(ProgrammingViaSerial, UsesFixedAddressesAndSendsStringsAsTheyStand) {
    Bench bench;
    bench.factoryOnSerial();
    editAsFromFile(bench.image);
    bench.programViaSerial();

    const Transfer& t = bench.runner.last();
    ASSERT_EQ(t.batch.count, 6);
    EXPECT_EQ(frameBytes(t, 0), (Bytes{0x1B, 0x1D, 0xC0, 0x00, 0x09, 0x00, 0x01, 0x0A, 0x05, 0x80,
                                       0xA3, 0xA3, 0xA3, 0x83}));
    EXPECT_EQ(frameBytes(t, 1),
              concat(concat({0x1B, 0x1D, 0xC1, 0x10, 0x10}, factoryString('C', 'R')),
                     {0x07, '1', '2', '3', '4', '5', '6', '7'}));
    EXPECT_EQ(frameBytes(t, 2),
              concat({0x1B, 0x1D, 0xC1, 0x20, 0x10, 0x03, 'A', 'B', 'C', 'x', 'y', 'z', 'w'},
                     factoryString(0x0D, 0x0A)));
    EXPECT_EQ(frameBytes(t, 5), (Bytes{0x1B, 0x1D, 0xC0, 0x10, 0x04, 0x4E, 0xE1, 0x4E, 0xFF}));
}

TEST(ProgrammingViaSerial, NoSerialPortSelectedIsRefusedWithoutATransaction) {
    // com_port 0 would run the Exchange on the keyboard-controller port: only the first of the
    // six frames would leave, and the run would still report success. 0xFF names no port either.
    for (const int port : {0x00, 0xFF}) {
        Bench bench;
        bench.factoryOnSerial(static_cast<std::uint8_t>(port));
        bench.programViaSerial();
        EXPECT_TRUE(bench.runner.received.empty());
        expectOutcome(bench.outcome, OutcomeStatus::Failed, FailureKind::NoPortSelected);
    }
}

// How each ending of a transfer becomes an outcome; a programming run never changes the block.
TEST(ProgrammingOutcome, FollowsTheEndingOfTheTransfer) {
    const TransferEnding cases[] = {
        {EndCode::Ended, TransferResult::Success, OutcomeStatus::Done},
        {EndCode::Ended, TransferResult::Failure, OutcomeStatus::Cancelled},
        {EndCode::Ended, TransferResult::Unknown, OutcomeStatus::Cancelled},
        {EndCode::Ended, TransferResult::Failure, OutcomeStatus::Failed, FailureKind::InUse},
        {EndCode::Escape, TransferResult::Success, OutcomeStatus::Dismissed},
        {EndCode::Escape, TransferResult::Failure, OutcomeStatus::Dismissed},
    };
    for (const bool viaKeyboard : {true, false}) {
        for (const TransferEnding& c : cases) {
            SCOPED_TRACE(testing::Message()
                         << "keyboard " << viaKeyboard << " end " << static_cast<int>(c.endCode)
                         << " result " << static_cast<int>(c.result));
            Bench bench;
            bench.factoryOnSerial();
            bench.runner.endCode = c.endCode;
            bench.runner.result = c.result;
            bench.runner.failure.kind = c.failure;
            const SettingsImage before = bench.image;
            const Outcome outcome =
                viaKeyboard ? bench.programViaKeyboard() : bench.programViaSerial();
            EXPECT_EQ(outcome.status, c.status);
            EXPECT_EQ(outcome.failure.kind,
                      c.status == OutcomeStatus::Failed ? c.failure : FailureKind::None);
            EXPECT_FALSE(outcome.imageChanged);
            EXPECT_EQ(bench.image.raw(), before.raw());
        }
    }
}

} // namespace

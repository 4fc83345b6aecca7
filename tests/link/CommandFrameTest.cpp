#include "link/CommandFrame.h"

#include "link/FrameBatch.h"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

using Bytes = std::vector<std::uint8_t>;

namespace {
Bytes entrySequence(const Bytes& entry) {
    return KeyboardSequence::batchEntry(entry.data(), static_cast<int>(entry.size()));
}
} // namespace

TEST(CommandFrame, BuildersGiveTheCommandsBytes) {
    auto bytesOf = [](const CommandFrame& f) { return Bytes(f.bytes(), f.bytes() + f.length()); };
    EXPECT_EQ(bytesOf(CommandFrame::serialProbe()), (Bytes{0x1B, 0x00}));
    EXPECT_EQ(bytesOf(CommandFrame::firmwareVersion()), (Bytes{0x1B, 0x01}));
    EXPECT_EQ(bytesOf(CommandFrame::factoryReset()), (Bytes{0x1B, 0x21, 0x01, 0xFF}));
    EXPECT_EQ(bytesOf(CommandFrame::readBlock(0xC1, 0x10, 0x40)),
              (Bytes{0x1B, 0x1C, 0xC1, 0x10, 0x40}));
    const Bytes payload{1, 2, 3, 4, 5, 6, 7, 8, 9};
    const CommandFrame write = CommandFrame::writeBlock(0xC0, 0x00, payload.data(), 9);
    EXPECT_EQ(write.length(), 14); // no checksum on the serial link
    EXPECT_EQ(bytesOf(write), (Bytes{0x1B, 0x1D, 0xC0, 0x00, 0x09, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(CommandFrame, PutIntoClearsTheSlotAndIgnoresIndicesOutsideTheBatch) {
    FrameBatch batch;
    batch.frames[2].fill(0x55);
    CommandFrame::firmwareVersion().putInto(batch, 2);
    EXPECT_EQ(batch.lengths[2], 2);
    EXPECT_EQ(batch.frames[2][1], 0x01);
    EXPECT_EQ(batch.frames[2][2], 0x00);
    CommandFrame::firmwareVersion().putInto(batch, 25);
    CommandFrame::firmwareVersion().putInto(batch, -1);
}

TEST(CommandFrame, RepliesAreClassifiedByTheEchoedCode) {
    EXPECT_EQ(classifyReply(0x1C), ReplyKind::Block);
    EXPECT_EQ(classifyReply(0x1D), ReplyKind::Acknowledgement);
    EXPECT_EQ(classifyReply(0x01), ReplyKind::Counted);
    EXPECT_EQ(classifyReply(0x21), ReplyKind::Counted);
    EXPECT_EQ(classifyReply(0x00), ReplyKind::Counted);
}

TEST(KeyboardSequence, ChecksumAndEscaping) {
    const Bytes probe{0x1B, 0x05};
    EXPECT_EQ(checksum(probe.data(), 2), 0x1E);
    EXPECT_EQ(KeyboardSequence::probe(), (Bytes{0x1B, 0x05, 0x1E}));

    Bytes out;
    encode(0xE0, out);
    encode(0xE1, out);
    encode(0xFF, out);
    encode(0x00, out);
    EXPECT_EQ(out, (Bytes{0xE0, 0xE0, 0x01, 0xE0, 0x1F, 0x00}));

    // Checksum exactly 0xE0 stays one byte; 0xE1 is escaped.
    EXPECT_EQ(entrySequence({0xE0}), (Bytes{0xE0, 0xE0}));
    EXPECT_EQ(entrySequence({0xC0, 0x21}), (Bytes{0xC0, 0x21, 0xE0, 0x01}));
    // A payload 0xFF is escaped but counted as 0xFF in the checksum.
    EXPECT_EQ(entrySequence({0xC0, 0x00, 0x01, 0xFF}), (Bytes{0xC0, 0x00, 0x01, 0xE0, 0x1F, 0x3E}));
    // An empty entry contributes only its checksum.
    EXPECT_EQ(entrySequence({}), (Bytes{0x00}));
}

TEST(KeyboardSequence, ResetFrameAndBatchEntries) {
    const CommandFrame reset = CommandFrame::factoryReset();
    EXPECT_EQ(KeyboardSequence::singleFrame(reset.bytes(), reset.length()),
              (Bytes{0x1B, 0x21, 0x01, 0xE0, 0x1F, 0xC4}));
    const Bytes one{0x1B};
    EXPECT_EQ(KeyboardSequence::singleFrame(one.data(), 1), (Bytes{0x1B, 0x1B}));
    EXPECT_EQ(KeyboardSequence::singleFrame(one.data(), 0), (Bytes{0x1B, 0x1B}));

    EXPECT_EQ(entrySequence({0xC0, 0x00, 0x01, 0x86}), (Bytes{0xC0, 0x00, 0x01, 0x86, 0x47}));
}

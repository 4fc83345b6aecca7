#include "SimReader.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes replyTo(SimReader& reader, const Bytes& bytes) {
    return reader.feed(bytes).reply;
}

Bytes concat(const std::vector<Bytes>& parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

Bytes writeBlock(std::uint8_t group, std::uint8_t subCode, const Bytes& payload) {
    Bytes frame{0x1B, 0x1D, group, subCode, static_cast<std::uint8_t>(payload.size())};
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

// A string record as the tool sends it: length, characters, zero fill to eight bytes.
Bytes record(const std::string& text) {
    Bytes bytes(8, 0x00);
    bytes[0] = static_cast<std::uint8_t>(text.size());
    for (std::size_t i = 0; i < text.size() && i < 7; ++i) {
        bytes[i + 1] = static_cast<std::uint8_t>(text[i]);
    }
    return bytes;
}

const Bytes kReadBytes{0x1B, 0x1C, 0xC0, 0x00, 0x09};
const Bytes kReadStrings{0x1B, 0x1C, 0xC1, 0x10, 0x40};
const Bytes kReadIso{0x1B, 0x1C, 0xC0, 0x10, 0x04};
const Bytes kVersion{0x1B, 0x01};
const Bytes kReset{0x1B, 0x21, 0x01, 0xFF};
const Bytes kProbe{0x1B, 0x00};

const Bytes kFactoryStrings = concat({record("CR"), record("CR"), record("T1"), record("\r\n"),
                                      record("T2"), record("\r\n"), record("T3"), record("\r\n")});

// The six write blocks of a programming run over RS232, with values unlike the factory's.
std::vector<Bytes> programmingRun() {
    return {
        writeBlock(0xC0, 0x00, {0x80, 0x02, 0x14, 0x07, 0x80, 0xE3, 0x03, 0xFF, 0x01}),
        writeBlock(0xC1, 0x10, concat({record("AB"), record("1234567")})),
        writeBlock(0xC1, 0x20, concat({record(""), record("\x01\x02\x03")})),
        writeBlock(0xC1, 0x30, concat({record("x"), record("y")})),
        writeBlock(0xC1, 0x40, concat({record("T3"), record("\r")})),
        writeBlock(0xC0, 0x10, {0x4F, 0x0E, 0xCE, 0x5A}),
    };
}

} // namespace

TEST(SimReader, ReadBlocksReturnTheFactoryData) {
    SimReader reader;
    EXPECT_EQ(replyTo(reader, kReadBytes), (Bytes{0x1B, 0x1C, 0xC0, 0x00, 0x09, 0x86, 0x01, 0x0A,
                                                  0x05, 0x80, 0xA3, 0xA3, 0xA3, 0x83}));
    EXPECT_EQ(replyTo(reader, kReadStrings),
              concat({{0x1B, 0x1C, 0xC1, 0x10, 0x40}, kFactoryStrings}));
    EXPECT_EQ(replyTo(reader, kReadIso),
              (Bytes{0x1B, 0x1C, 0xC0, 0x10, 0x04, 0x4E, 0x4E, 0x4E, 0x00}));
    // Addresses outside the memory read as zero, also where a block runs past sub-code 0xFF.
    EXPECT_EQ(replyTo(reader, {0x1B, 0x1C, 0xC0, 0x07, 0x04}),
              (Bytes{0x1B, 0x1C, 0xC0, 0x07, 0x04, 0xA3, 0x83, 0x00, 0x00}));
    EXPECT_EQ(replyTo(reader, {0x1B, 0x1C, 0xC1, 0xFE, 0x03}),
              (Bytes{0x1B, 0x1C, 0xC1, 0xFE, 0x03, 0x00, 0x00, 0x00}));
    EXPECT_EQ(replyTo(reader, {0x1B, 0x1C, 0xC0, 0x00, 0x00}),
              (Bytes{0x1B, 0x1C, 0xC0, 0x00, 0x00}));
}

TEST(SimReader, ProgrammingRunIsAcknowledgedAndReadBack) {
    SimReader reader;
    for (const Bytes& frame : programmingRun()) {
        const SimReader::Outcome outcome = reader.feed(frame);
        EXPECT_EQ(outcome.reply, (Bytes{0x1B, 0x1D, frame[2], frame[3], 0x01, 0xAA}));
        EXPECT_TRUE(outcome.memoryWritten);
        ASSERT_EQ(outcome.frames.size(), 1u);
        EXPECT_EQ(outcome.frames[0], frame);
    }
    const std::vector<Bytes> run = programmingRun();
    EXPECT_EQ(replyTo(reader, kReadBytes),
              concat({kReadBytes, Bytes(run[0].begin() + 5, run[0].end())}));
    Bytes strings = kReadStrings;
    for (int i = 1; i <= 4; ++i) {
        strings.insert(strings.end(), run[static_cast<std::size_t>(i)].begin() + 5,
                       run[static_cast<std::size_t>(i)].end());
    }
    EXPECT_EQ(replyTo(reader, kReadStrings), strings);
    EXPECT_EQ(replyTo(reader, kReadIso), concat({kReadIso, {0x4F, 0x0E, 0xCE, 0x5A}}));
}

TEST(SimReader, WritesOutsideTheMemoryAreAcknowledgedAndIgnored) {
    SimReader reader;
    // 0x08 is the last byte parameter of the first run; 0x09..0x0B do not exist.
    EXPECT_EQ(replyTo(reader, writeBlock(0xC0, 0x08, {0x11, 0x22, 0x33, 0x44})),
              (Bytes{0x1B, 0x1D, 0xC0, 0x08, 0x01, 0xAA}));
    EXPECT_EQ(replyTo(reader, writeBlock(0xC5, 0x00, {0x55})),
              (Bytes{0x1B, 0x1D, 0xC5, 0x00, 0x01, 0xAA}));
    EXPECT_EQ(replyTo(reader, writeBlock(0xC1, 0xFF, {0x55, 0x55})),
              (Bytes{0x1B, 0x1D, 0xC1, 0xFF, 0x01, 0xAA}));
    EXPECT_EQ(replyTo(reader, writeBlock(0xC0, 0x00, {})),
              (Bytes{0x1B, 0x1D, 0xC0, 0x00, 0x01, 0xAA}));
    SimMemory expected = SimMemory::factory();
    expected.write(0xC0, 0x08, 0x11);
    EXPECT_EQ(reader.memory(), expected);
}

TEST(SimReader, VersionResetProbeAndUnknownCommands) {
    SimReader reader;
    EXPECT_EQ(replyTo(reader, kVersion), (Bytes{0x1B, 0x01, 0x05, 'V', '1', '.', '0', '0'}));
    EXPECT_EQ(replyTo(reader, kProbe), (Bytes{0x1B, 0x00}));
    EXPECT_EQ(replyTo(reader, {0x1B, 0x42}), (Bytes{0x1B, 0x42, 0x00}));

    for (const Bytes& frame : programmingRun()) {
        reader.feed(frame);
    }
    ASSERT_NE(reader.memory(), SimMemory::factory());
    const SimReader::Outcome reset = reader.feed(kReset);
    EXPECT_EQ(reset.reply, (Bytes{0x1B, 0x21, 0x01, 0x00}));
    EXPECT_TRUE(reset.memoryWritten);
    EXPECT_EQ(reader.memory(), SimMemory::factory());

    SimReader custom(SimMemory(), "R550 V2.3");
    EXPECT_EQ(replyTo(custom, kVersion),
              concat({{0x1B, 0x01, 0x09}, Bytes{'R', '5', '5', '0', ' ', 'V', '2', '.', '3'}}));
    // The length byte cannot announce more, and the tool needs room for a terminating zero.
    SimReader longest(SimMemory(), std::string(300, 'v'));
    const Bytes reply = replyTo(longest, kVersion);
    ASSERT_EQ(reply.size(), 3u + 254u);
    EXPECT_EQ(reply[2], 254);
}

TEST(SimReader, FramesSplitAnywhereParseTheSame) {
    std::vector<Bytes> frames = programmingRun();
    frames.insert(frames.end(),
                  {kReadBytes, kReadStrings, kReadIso, kVersion, kProbe, kReset, {0x1B, 0x42}});
    const Bytes script = concat(frames);
    SimReader whole;
    const SimReader::Outcome expected = whole.feed(script);
    ASSERT_EQ(expected.frames, frames);

    for (std::size_t cut = 0; cut <= script.size(); ++cut) {
        SimReader reader;
        SimReader::Outcome first = reader.feed(std::span(script).first(cut));
        const SimReader::Outcome second = reader.feed(std::span(script).subspan(cut));
        first.reply.insert(first.reply.end(), second.reply.begin(), second.reply.end());
        first.frames.insert(first.frames.end(), second.frames.begin(), second.frames.end());
        EXPECT_EQ(first.reply, expected.reply) << "cut at " << cut;
        EXPECT_EQ(first.frames, expected.frames) << "cut at " << cut;
        EXPECT_EQ(reader.memory(), whole.memory()) << "cut at " << cut;
    }

    SimReader bytewise;
    Bytes reply;
    for (const std::uint8_t byte : script) {
        const Bytes part = bytewise.feed(Bytes{byte}).reply;
        reply.insert(reply.end(), part.begin(), part.end());
    }
    EXPECT_EQ(reply, expected.reply);
}

TEST(SimReader, BytesOutsideAFrameAreSkipped) {
    SimReader reader;
    const SimReader::Outcome outcome =
        reader.feed(concat({{0x00, 0xFF, 0x41, 0x1C}, kVersion, {0xAA, 0x01}, kProbe}));
    EXPECT_EQ(outcome.reply, concat({{0x1B, 0x01, 0x05, 'V', '1', '.', '0', '0'}, {0x1B, 0x00}}));
    EXPECT_EQ(outcome.frames, (std::vector<Bytes>{kVersion, kProbe}));
    EXPECT_FALSE(reader.hasPartialFrame());
}

TEST(SimReader, AnAbandonedFrameIsDroppedSoTheNextOneParses) {
    SimReader reader;
    EXPECT_TRUE(replyTo(reader, {0x1B, 0x1D, 0xC0, 0x00, 0x09, 0x86}).empty());
    ASSERT_TRUE(reader.hasPartialFrame());
    EXPECT_EQ(reader.dropPartialFrame(), (Bytes{0x1B, 0x1D, 0xC0, 0x00, 0x09, 0x86}));
    EXPECT_FALSE(reader.hasPartialFrame());
    EXPECT_EQ(replyTo(reader, kVersion), (Bytes{0x1B, 0x01, 0x05, 'V', '1', '.', '0', '0'}));
    EXPECT_EQ(reader.memory(), SimMemory::factory());
}

TEST(SimReader, FaultsChangeOnlyTheReplies) {
    const Bytes write = writeBlock(0xC0, 0x00, {0x01});

    SimReader silent(SimMemory::factory(), "V1.00", {.silent = true});
    const SimReader::Outcome quiet =
        silent.feed(concat({kProbe, kVersion, kReadBytes, write, kReset}));
    EXPECT_TRUE(quiet.reply.empty());
    EXPECT_EQ(quiet.frames.size(), 5u);
    EXPECT_TRUE(quiet.memoryWritten);

    SimReader wrongAck(SimMemory::factory(), "V1.00", {.wrongAck = true});
    EXPECT_EQ(replyTo(wrongAck, write), (Bytes{0x1B, 0x1D, 0xC0, 0x00, 0x01, 0xAB}));
    EXPECT_EQ(wrongAck.memory().read(0xC0, 0x00), 0x01);
    EXPECT_EQ(replyTo(wrongAck, kVersion), (Bytes{0x1B, 0x01, 0x05, 'V', '1', '.', '0', '0'}));

    SimReader wrongLength(SimMemory::factory(), "V1.00", {.wrongLength = true});
    EXPECT_EQ(replyTo(wrongLength, kReadIso),
              (Bytes{0x1B, 0x1C, 0xC0, 0x10, 0x05, 0x4E, 0x4E, 0x4E, 0x00, 0x00}));
    EXPECT_EQ(replyTo(wrongLength, {0x1B, 0x1C, 0xC1, 0x10, 0xFF}),
              (Bytes{0x1B, 0x1C, 0xC1, 0x10, 0x00}));
    EXPECT_EQ(replyTo(wrongLength, write), (Bytes{0x1B, 0x1D, 0xC0, 0x00, 0x01, 0xAA}));

    SimReader stall(SimMemory::factory(), "V1.00", {.stallAfterEcho = true});
    for (const Bytes& frame : {kProbe, kVersion, kReadBytes, write, kReset}) {
        EXPECT_EQ(replyTo(stall, frame), (Bytes{0x1B}));
    }

    SimReader noProbe(SimMemory::factory(), "V1.00", {.noProbeAnswer = true});
    const SimReader::Outcome probed = noProbe.feed(kProbe);
    EXPECT_TRUE(probed.reply.empty());
    EXPECT_EQ(probed.frames, (std::vector<Bytes>{kProbe}));
    EXPECT_EQ(replyTo(noProbe, kVersion), (Bytes{0x1B, 0x01, 0x05, 'V', '1', '.', '0', '0'}));
    EXPECT_EQ(replyTo(noProbe, {0x1B, 0x42}), (Bytes{0x1B, 0x42, 0x00}));
}

TEST(SimReader, LogLineIsUpperCaseHex) {
    EXPECT_EQ(SimReader::logLine(Bytes{0x1B, 0x1D, 0xC0, 0x00, 0x09, 0x86, 0x01, 0x0A, 0x05, 0x80,
                                       0xA3, 0xA3, 0xA3, 0x83}),
              "1B 1D C0 00 09 86 01 0A 05 80 A3 A3 A3 83\n");
    EXPECT_EQ(SimReader::logLine(Bytes{}), "\n");
}

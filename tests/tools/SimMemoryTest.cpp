#include "SimMemory.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace {
const std::string kFactoryText =
    "C0 86 01 0A 05 80 A3 A3 A3 83 00 00 00 00 00 00 00 4E 4E 4E 00\n"
    "C1 02 43 52 00 00 00 00 00 02 43 52 00 00 00 00 00 02 54 31 00 00 00 00 00 02 0D 0A 00 00 "
    "00 00 00 02 54 32 00 00 00 00 00 02 0D 0A 00 00 00 00 00 02 54 33 00 00 00 00 00 02 0D 0A "
    "00 00 00 00 00\n";
} // namespace

TEST(SimMemory, FactoryValuesAndTheirText) {
    const SimMemory factory = SimMemory::factory();
    EXPECT_EQ(factory.toText(), kFactoryText);
    EXPECT_EQ(factory.read(0xC0, 0x00), 0x86);
    EXPECT_EQ(factory.read(0xC0, 0x08), 0x83);
    EXPECT_EQ(factory.read(0xC0, 0x13), 0x00);
    EXPECT_EQ(factory.read(0xC1, 0x48), 0x02);
    EXPECT_EQ(factory.read(0xC1, 0x49), 0x0D);
}

TEST(SimMemory, OnlyTheTwoGroupsRangesAreStored) {
    SimMemory memory;
    memory.write(0xC0, 0x08, 0x11);
    memory.write(0xC0, 0x09, 0x22); // gap between the two runs of byte parameters
    memory.write(0xC0, 0x0F, 0x22);
    memory.write(0xC0, 0x14, 0x22);
    memory.write(0xC1, 0x0F, 0x22);
    memory.write(0xC1, 0x4F, 0x33);
    memory.write(0xC1, 0x50, 0x22);
    memory.write(0xC2, 0x10, 0x22);
    memory.write(0xC0, -1, 0x22);
    memory.write(0xC1, 0x1FE, 0x22); // a block running past 0xFF
    EXPECT_EQ(memory.read(0xC0, 0x08), 0x11);
    EXPECT_EQ(memory.read(0xC1, 0x4F), 0x33);
    for (const int address : {0x09, 0x0F, 0x14, 0x1FE, -1}) {
        EXPECT_EQ(memory.read(0xC0, address), 0x00) << address;
    }
    EXPECT_EQ(memory.read(0xC1, 0x0F), 0x00);
    EXPECT_EQ(memory.read(0xC1, 0x50), 0x00);
    EXPECT_EQ(memory.read(0xC2, 0x10), 0x00);
    SimMemory expected;
    expected.write(0xC0, 0x08, 0x11);
    expected.write(0xC1, 0x4F, 0x33);
    EXPECT_EQ(memory, expected);
}

TEST(SimMemory, TextRoundTripsAndIsReadLeniently) {
    SimMemory memory = SimMemory::factory();
    memory.write(0xC0, 0x03, 0xFF);
    memory.write(0xC1, 0x4F, 0xE1);
    EXPECT_EQ(SimMemory::fromText(memory.toText()), memory);

    // Lines swapped, lower case, CRLF, blank lines, no final line end.
    std::string text = memory.toText();
    const std::size_t split = text.find('\n') + 1;
    std::string swapped = "\r\n" + text.substr(split) + "\r\n" + text.substr(0, split - 1);
    for (char& c : swapped) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    EXPECT_EQ(SimMemory::fromText(swapped), memory);

    // The gap 0x09..0x0F of group 0xC0 reads as zero whatever a file holds there.
    std::string gap = kFactoryText;
    gap.replace(gap.find("83 00") + 3, 2, "7F");
    const std::optional<SimMemory> loaded = SimMemory::fromText(gap);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(*loaded, SimMemory::factory());
}

TEST(SimMemory, MalformedTextIsRefused) {
    const std::string c0 = kFactoryText.substr(0, kFactoryText.find('\n') + 1);
    const std::string c1 = kFactoryText.substr(c0.size());
    EXPECT_FALSE(SimMemory::fromText(""));
    EXPECT_FALSE(SimMemory::fromText(c0));
    EXPECT_FALSE(SimMemory::fromText(c1));
    EXPECT_FALSE(SimMemory::fromText(c0 + c0 + c1));
    EXPECT_FALSE(SimMemory::fromText(c0 + c1 + "C2 00\n"));
    EXPECT_FALSE(SimMemory::fromText("C0 00\n" + c1));                             // too few bytes
    EXPECT_FALSE(SimMemory::fromText(c0.substr(0, c0.size() - 1) + " 00\n" + c1)); // too many
    std::string badDigit = kFactoryText;
    badDigit[3] = 'G';
    EXPECT_FALSE(SimMemory::fromText(badDigit));
    std::string longWord = kFactoryText;
    longWord.replace(3, 2, "086");
    EXPECT_FALSE(SimMemory::fromText(longWord));
}

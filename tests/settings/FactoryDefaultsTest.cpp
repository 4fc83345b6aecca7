#include "settings/FactoryDefaults.h"

#include "settings/SettingsFile.h"
#include "settings/SettingsImage.h"
#include "support/FileBytes.h"
#include "support/SettingsByName.h"
#include "support/TempFolder.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <gtest/gtest.h>

namespace {

// The factory block written out from the slot table by hand: offset, bytes.
struct Run {
    std::size_t offset;
    std::vector<std::uint8_t> bytes;
};

std::array<std::uint8_t, 3060> expectedFactoryBlock() {
    const std::vector<Run> runs = {
        {0x000, {0x05, 0x24, 0x21, 0x00, 0x01, 0x22, 0x23}},
        {0x00A, {0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0}},
        {0x014, {0xC0, 0xC0, 0xC0, 0xC0}},
        {0x018, {0xC1, 0xC1, 0xC1, 0xC1, 0xC1, 0xC1, 0xC1, 0xC1}},
        {0x109, {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}},
        {0x113, {0x10, 0x11, 0x12, 0x13}},
        {0x117, {0x10, 0x18, 0x20, 0x28, 0x30, 0x38, 0x40, 0x48}},
        {0x208, {0x01, 0xFF}},
        {0x262, {0x86}},
        {0x26C, {0x01}},
        {0x276, {0x0A}},
        {0x280, {0x05}},
        {0x28A, {0x80}},
        {0x294, {0xA3}},
        {0x29E, {0xA3}},
        {0x2A8, {0xA3}},
        {0x2B2, {0x83}},
        {0x2C6, {0x4E}},
        {0x2D0, {0x4E}},
        {0x2DA, {0x4E}},
        {0x2E4, {0x00}},
        {0x2EE, {0x02, 0x43, 0x52}},
        {0x2F8, {0x02, 0x43, 0x52}},
        {0x302, {0x02, 0x54, 0x31}},
        {0x30C, {0x02, 0x0D, 0x0A}},
        {0x316, {0x02, 0x54, 0x32}},
        {0x320, {0x02, 0x0D, 0x0A}},
        {0x32A, {0x02, 0x54, 0x33}},
        {0x334, {0x02, 0x0D, 0x0A}},
    };
    std::array<std::uint8_t, 3060> block{};
    for (const Run& run : runs) {
        for (std::size_t i = 0; i < run.bytes.size(); ++i) {
            block[run.offset + i] = run.bytes[i];
        }
    }
    return block;
}

} // namespace

TEST(FactoryDefaults, BlockAndDefaultFileMatchTheSlotTableByteForByte) {
    TempFolder folder;
    SettingsImage image;
    const auto file = folder.path() / "Default.cfg";
    EXPECT_EQ(applyFactoryDefaults(image, file.string()), 0);

    const auto expected = expectedFactoryBlock();
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(image.raw()[i], expected[i]) << "offset 0x" << std::hex << i;
    }
    const std::vector<std::uint8_t> written = fileBytes(file);
    ASSERT_EQ(written.size(), 3060u);
    EXPECT_TRUE(std::equal(written.begin(), written.end(), expected.begin()));
}

TEST(FactoryDefaults, TouchesNothingButHeaderAndRecords) {
    TempFolder folder;
    SettingsImage image;
    image.raw().fill(0x77);
    applyFactoryDefaults(image, (folder.path() / "Default.cfg").string());

    EXPECT_EQ(byteOf(image, "main.operating_mode"), 0x77);
    EXPECT_EQ(byteOf(image, "main.com_port"), 0x77);
    EXPECT_EQ(image.data(19)[0], 0x77); // slot 19 unused
    EXPECT_EQ(image.data(14)[1], 0x77); // parameter 4: unused data bytes
    EXPECT_EQ(image.group(9), 0x77);
    EXPECT_EQ(image.group(32), 0x77);
    // A seven-character string keeps characters 3..7 behind the new length 2.
    EXPECT_EQ(recordOf(image, "msr.prefix")[0], 2);
    EXPECT_EQ(recordOf(image, "msr.prefix")[3], 0x77);
    EXPECT_EQ(recordOf(image, "msr.prefix")[7], 0x77);
    EXPECT_EQ(flagsOf(image, "main"), 0x86);
}

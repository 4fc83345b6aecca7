#include "settings/FactoryDefaults.h"

#include "settings/SettingsFile.h"
#include "settings/SettingsImage.h"

#include <array>
#include <cstdint>

namespace {

struct FactoryRecord {
    int slot;
    std::uint8_t group;
    std::uint8_t subcode;
    std::array<std::uint8_t, 3> data; // byte records use data[0]; strings: length, two codes
    int dataBytes;
};

constexpr std::array<FactoryRecord, 21> kFactoryRecords{{
    {10, 0xC0, 0x00, {0x86}, 1},
    {11, 0xC0, 0x01, {0x01}, 1},
    {12, 0xC0, 0x02, {0x0A}, 1},
    {13, 0xC0, 0x03, {0x05}, 1},
    {14, 0xC0, 0x04, {0x80}, 1},
    {15, 0xC0, 0x05, {0xA3}, 1},
    {16, 0xC0, 0x06, {0xA3}, 1},
    {17, 0xC0, 0x07, {0xA3}, 1},
    {18, 0xC0, 0x08, {0x83}, 1},
    {20, 0xC0, 0x10, {0x4E}, 1},
    {21, 0xC0, 0x11, {0x4E}, 1},
    {22, 0xC0, 0x12, {0x4E}, 1},
    {23, 0xC0, 0x13, {0x00}, 1},
    {24, 0xC1, 0x10, {0x02, 'C', 'R'}, 3},
    {25, 0xC1, 0x18, {0x02, 'C', 'R'}, 3},
    {26, 0xC1, 0x20, {0x02, 'T', '1'}, 3},
    {27, 0xC1, 0x28, {0x02, 0x0D, 0x0A}, 3},
    {28, 0xC1, 0x30, {0x02, 'T', '2'}, 3},
    {29, 0xC1, 0x38, {0x02, 0x0D, 0x0A}, 3},
    {30, 0xC1, 0x40, {0x02, 'T', '3'}, 3},
    {31, 0xC1, 0x48, {0x02, 0x0D, 0x0A}, 3},
}};

constexpr std::array<std::uint8_t, 7> kHeader{0x05, 0x24, 0x21, 0x00, 0x01, 0x22, 0x23};

} // namespace

void writeFactoryValues(SettingsImage& image) {
    for (std::size_t i = 0; i < kHeader.size(); ++i) {
        image.at(i) = kHeader[i];
    }
    image.at(0x208) = 0x01;
    image.at(0x209) = 0xFF;
    for (const FactoryRecord& record : kFactoryRecords) {
        image.group(record.slot) = record.group;
        image.subcode(record.slot) = record.subcode;
        for (int i = 0; i < record.dataBytes; ++i) {
            image.data(record.slot)[i] = record.data[static_cast<std::size_t>(i)];
        }
    }
}

int applyFactoryDefaults(SettingsImage& image, const std::string& file) {
    writeFactoryValues(image);
    return writeSettingsFile(image, file);
}

SettingsImage factoryBlock() {
    SettingsImage image;
    writeFactoryValues(image);
    return image;
}

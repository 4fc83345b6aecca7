#include "operations/ReadBackCoverage.h"

#include "settings/FactoryDefaults.h"
#include "settings/SettingTable.h"
#include "settings/SettingsImage.h"
#include "support/SettingsByName.h"

#include <set>
#include <string>

#include <gtest/gtest.h>

TEST(ReadBackCoverage, CoversEveryNamedSettingButTheTwoThatLiveOnThePc) {
    std::set<std::string> uncovered;
    for (const NamedSetting& setting : SettingTable::all()) {
        if (!ReadBackCoverage::covers(setting)) {
            uncovered.insert(std::string(setting.name));
        }
    }
    EXPECT_EQ(uncovered, (std::set<std::string>{"main.com_port", "main.operating_mode"}));
    EXPECT_EQ(ReadBackCoverage::settings().size() + 2, SettingTable::all().size());
}

TEST(ReadBackCoverage, ComparesByNameOnlyWhatTheReaderHolds) {
    SettingsImage file;
    writeFactoryValues(file);
    SettingsImage reader = file;
    // Not held by the reader, or not a named setting: never a difference.
    byteOf(reader, "main.operating_mode") = SettingTable::kModeKeyboardWedge;
    byteOf(reader, "main.com_port") = 7;
    reader.data(14)[0] ^= 0xFF;
    recordOf(reader, "msr.prefix")[7] ^= 0xFF; // behind the prefix's two codes
    // Held by the reader and named: in the table's order, the file's text first.
    flagsOf(reader, "iso3") ^= 0x40;
    byteOf(reader, "main.scan_code_delay") = 9;
    recordOf(reader, "track2.suffix")[0] = 1;

    const std::vector<SettingDifference> found = ReadBackCoverage::differences(file, reader);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].setting->name, "main.scan_code_delay");
    EXPECT_EQ(found[0].first, "1");
    EXPECT_EQ(found[0].second, "9");
    EXPECT_EQ(found[1].setting->name, "track2.suffix");
    EXPECT_EQ(found[1].second, "{13}");
    EXPECT_EQ(found[2].setting->name, "iso3.send_cr");
}

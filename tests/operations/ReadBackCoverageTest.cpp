#include "operations/ReadBackCoverage.h"

#include "settings/FactoryDefaults.h"
#include "settings/SettingTable.h"
#include "settings/SettingsImage.h"
#include "support/DifferenceLines.h"
#include "support/SettingsByName.h"

#include <set>
#include <string>
#include <vector>

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

    EXPECT_EQ(
        differenceLines(ReadBackCoverage::differences(file, reader)),
        (std::vector<std::string>{"main.scan_code_delay: 1 -> 9", "track2.suffix: {13}{10} -> {13}",
                                  "iso3.send_cr: on -> off"}));
}

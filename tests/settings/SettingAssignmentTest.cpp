#include "settings/SettingAssignment.h"

#include "settings/FactoryDefaults.h"
#include "settings/SettingTable.h"
#include "settings/SettingsImage.h"
#include "support/SettingsByName.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

// What `r550ctl set` says: the setting and the values it takes. (That an assignment takes and
// sets exactly what writeSetting does, with the value after the first '=', the values fuzzer
// checks.)
TEST(SettingAssignment, RefusalsNameTheSettingAndWhatItTakes) {
    SettingAssignment assignment;
    std::string error;
    EXPECT_EQ(assignment.parse("main.scan_code_delay=00255", error), SettingStatus::OutOfRange);
    EXPECT_EQ(error, "main.scan_code_delay: \"00255\" is out of range 0..254; {n} stores the byte "
                     "n as it is");
    EXPECT_EQ(assignment.setting(), nullptr) << "a refused text keeps no setting to apply";

    EXPECT_EQ(assignment.parse("main.baud_rate", error), SettingStatus::BadValue);
    EXPECT_EQ(error, "main.baud_rate: no \"=VALUE\"; it takes 600, 1200, 2400, 4800, 9600, "
                     "19200, 38400");
    EXPECT_EQ(assignment.parse("main.buzzer=", error), SettingStatus::BadValue);
    EXPECT_EQ(assignment.parse("msr.prefix={0}", error), SettingStatus::BadCodeList);
    EXPECT_EQ(error.rfind("msr.prefix: \"{0}\": {0} is outside 1..255; it takes up to 7 codes "
                          "1..255",
                          0),
              0u)
        << error;
    EXPECT_EQ(assignment.parse("=on", error), SettingStatus::UnknownName);
    EXPECT_EQ(error, "unknown setting \"\"");

    ASSERT_EQ(assignment.parse("track2.prefix=a=b", error), SettingStatus::Ok);
    EXPECT_EQ(assignment.value(), "a=b");
}

TEST(SettingAssignment, AnUnknownNameGetsTheNearestNames) {
    const std::pair<std::string, std::string> cases[] = {
        {"main.buzer", "; did you mean 'main.buzzer'?"},  // a letter left out
        {"MAIN.Buzzer", "; did you mean 'main.buzzer'?"}, // the case
        {"msr.eanble", "; did you mean 'msr.enable'?"},   // two letters swapped
        {"track4.beep", "; did you mean 'track1.beep', 'track2.beep' or 'track3.beep'?"},
        {"buzzer", "; did you mean 'main.buzzer'?"}, // the key without its section
        {"iso1.bogus_thing", ""},
        {"main.bxxxer", ""},          // three edits: more than a slip of the fingers
        {std::string(4096, 'm'), ""}, // far longer than any name
    };
    for (const auto& [typed, meant] : cases) {
        std::string error;
        EXPECT_EQ(SettingAssignment().parse(typed + "=on", error), SettingStatus::UnknownName);
        EXPECT_EQ(error, "unknown setting \"" + typed + "\"" + meant);
    }
}

// What `show` prints for any value a block may hold goes back into `set` as the same value.
TEST(SettingAssignment, EveryShownValueGoesBackIn) {
    std::vector<SettingsImage> blocks(4, factoryBlock());
    byteOf(blocks[1], "main.com_port") = 0;                      // the reader in the keyboard line
    byteOf(blocks[2], "main.com_port") = SettingTable::kUnknown; // a search that found no reader
    byteOf(blocks[2], "main.operating_mode") = SettingTable::kModeNotFound;
    blocks[3].raw().fill(0xFF);               // every flag on, every list full, delays out of range
    byteOf(blocks[3], "main.com_port") = 150; // a port number no page offers
    for (const SettingsImage& block : blocks) {
        for (const NamedSetting& setting : SettingTable::all()) {
            SettingAssignment assignment;
            SettingsImage copy;
            std::string error;
            const std::string shown = settingText(setting, block);
            ASSERT_EQ(assignment.parse(std::string(setting.name) + "=" + shown, error),
                      SettingStatus::Ok)
                << error;
            ASSERT_EQ(assignment.apply(copy, error), SettingStatus::Ok) << error;
            EXPECT_EQ(settingText(setting, copy), shown) << setting.name;
        }
    }
}

#include "settings/SettingAssignment.h"

#include <string>

#include <gtest/gtest.h>

// What `r550ctl set` says: the setting and the values it takes. (That an assignment takes and
// sets exactly what writeSetting does, with the value after the first '=', the values fuzzer
// checks.)
TEST(SettingAssignment, RefusalsNameTheSettingAndWhatItTakes) {
    SettingAssignment assignment;
    std::string error;
    EXPECT_EQ(assignment.parse("main.scan_code_delay=255", error), SettingStatus::OutOfRange);
    EXPECT_EQ(error, "main.scan_code_delay: 255 is out of range 0..254");
    EXPECT_EQ(assignment.setting(), nullptr) << "a refused text keeps no setting to apply";

    EXPECT_EQ(assignment.parse("main.baud_rate", error), SettingStatus::BadValue);
    EXPECT_EQ(error, "main.baud_rate: no \"=VALUE\"; it takes 600, 1200, 2400, 4800, 9600, "
                     "19200, 38400");
    EXPECT_EQ(assignment.parse("main.buzzer=", error), SettingStatus::BadValue);
    EXPECT_EQ(assignment.parse("msr.prefix=12345678", error), SettingStatus::BadCodeList);
    EXPECT_EQ(error.rfind("msr.prefix: more than 7 codes; it takes up to 7 codes 1..255", 0), 0u)
        << error;

    EXPECT_EQ(assignment.parse("track4.beep=on", error), SettingStatus::UnknownName);
    EXPECT_EQ(error, "unknown setting \"track4.beep\"; did you mean track1.beep, track2.beep or "
                     "track3.beep?");
    EXPECT_EQ(assignment.parse("buzzer=on", error), SettingStatus::UnknownName);
    EXPECT_EQ(error, "unknown setting \"buzzer\"; did you mean main.buzzer?");
    EXPECT_EQ(assignment.parse("=on", error), SettingStatus::UnknownName);
    EXPECT_EQ(error, "unknown setting \"\"");

    ASSERT_EQ(assignment.parse("track2.prefix=a=b", error), SettingStatus::Ok);
    EXPECT_EQ(assignment.value(), "a=b");
}

// A profile is read as a shell reads the lines `r550ctl show` prints.

#include "settings/SettingProfile.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

TEST(SettingProfile, ReadsShowsLinesAsAShellWouldAndNamesEveryBadLine) {
    struct Case {
        const char* text;
        std::vector<std::string> read; // "name=value" of each assignment, in order
        std::vector<std::string> problems;
    };
    const std::vector<Case> cases{
        {"# a comment\n\n  main.buzzer=off\r\n", {"main.buzzer=off"}, {}},
        {"'track1.prefix=a b' 'track1.suffix={13}{10}' # two on a line\n",
         {"track1.prefix=a b", "track1.suffix={13}{10}"},
         {}},
        {"'msr.prefix=it'\\''s'\n", {"msr.prefix=it's"}, {}},
        {"\"msr.suffix=\\\"#\\$\"\nmsr.prefix=\\ A\n", {"msr.suffix=\"#$", "msr.prefix= A"}, {}},
        {"'msr.prefix=\n", {}, {"p:1: a quote is not closed"}},
        {"main.buzzer=off\nmain.baud_rate=96\n",
         {"main.buzzer=off"},
         {"p:2: main.baud_rate: \"96\" is not one of 600, 1200, 2400, 4800, 9600, 19200, 38400; "
          "{n} stores the byte n as it is"}},
    };
    for (const Case& c : cases) {
        SettingProfile profile;
        EXPECT_EQ(profile.read(c.text, "p"), c.problems.empty()) << c.text;
        std::vector<std::string> read;
        for (const SettingAssignment& assignment : profile.assignments()) {
            read.push_back(std::string(assignment.setting()->name) + "=" + assignment.value());
        }
        EXPECT_EQ(read, c.read) << c.text;
        EXPECT_EQ(profile.problems(), c.problems) << c.text;
    }
}

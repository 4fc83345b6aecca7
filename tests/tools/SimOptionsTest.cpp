#include "SimOptions.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {
bool parse(const std::vector<std::string>& args, SimOptions& options, std::string& error) {
    std::vector<const char*> argv{"r550-sim"};
    for (const std::string& arg : args) {
        argv.push_back(arg.c_str());
    }
    return options.parse(static_cast<int>(argv.size()), argv.data(), error);
}
} // namespace

TEST(SimOptions, EverySwitchIsTaken) {
    SimOptions options;
    std::string error;
    ASSERT_TRUE(parse({"--link", "/tmp/com1", "--version", "V2.10", "--log", "log.txt", "--memory",
                       "mem.txt", "--preset", "pre.txt", "--silent", "--wrong-ack",
                       "--wrong-length", "--stall-after-echo", "--no-probe-answer"},
                      options, error))
        << error;
    EXPECT_EQ(options.link, "/tmp/com1");
    EXPECT_EQ(options.version, "V2.10");
    EXPECT_EQ(options.log, "log.txt");
    EXPECT_EQ(options.memory, "mem.txt");
    EXPECT_EQ(options.preset, "pre.txt");
    EXPECT_TRUE(options.faults.silent);
    EXPECT_TRUE(options.faults.wrongAck);
    EXPECT_TRUE(options.faults.wrongLength);
    EXPECT_TRUE(options.faults.stallAfterEcho);
    EXPECT_TRUE(options.faults.noProbeAnswer);

    SimOptions plain;
    ASSERT_TRUE(parse({"--link", "com1"}, plain, error));
    EXPECT_EQ(plain.version, "V1.00");
    EXPECT_FALSE(plain.faults.silent || plain.faults.wrongAck || plain.faults.wrongLength ||
                 plain.faults.stallAfterEcho || plain.faults.noProbeAnswer);
}

TEST(SimOptions, BadCommandLinesAreRefusedWithAReason) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--version", "V1"},
        {"--link"},
        {"--link", "com1", "--log"},
        {"--link", "com1", "--fast"},
        {"--link", "com1", "--version", std::string(255, 'x')},
    };
    for (const auto& args : bad) {
        SimOptions options;
        std::string error;
        EXPECT_FALSE(parse(args, options, error)) << args.size();
        EXPECT_FALSE(error.empty());
    }
    SimOptions longest;
    std::string error;
    EXPECT_TRUE(parse({"--link", "com1", "--version", std::string(254, 'x')}, longest, error));

    SimOptions help;
    EXPECT_TRUE(parse({"--help"}, help, error));
    EXPECT_TRUE(help.help);
}

#include "SimOptions.h"

#include <cstdint>
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
    ASSERT_TRUE(parse({"--link",
                       "/tmp/com1",
                       "--version",
                       "V2.10",
                       "--log",
                       "log.txt",
                       "--memory",
                       "mem.txt",
                       "--preset",
                       "pre.txt",
                       "--line-rate",
                       "9600",
                       "--answer-delay",
                       "40",
                       "--swipe",
                       "%B{0}x{255}",
                       "--silent",
                       "--wrong-ack",
                       "--wrong-length",
                       "--stall-after-echo",
                       "--no-probe-answer"},
                      options, error))
        << error;
    EXPECT_EQ(options.lineRate, 9600);
    EXPECT_EQ(options.answerDelayMs, 40);
    EXPECT_EQ(options.swipe, (std::vector<std::uint8_t>{'%', 'B', 0, 'x', 255}));
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
    EXPECT_EQ(plain.lineRate, 0);
    EXPECT_EQ(plain.answerDelayMs, 0);
    // Track 2 data with its sentinels, then a carriage return.
    ASSERT_GT(plain.swipe.size(), 3u);
    EXPECT_EQ(plain.swipe.front(), ';');
    EXPECT_EQ(plain.swipe[plain.swipe.size() - 2], '?');
    EXPECT_EQ(plain.swipe.back(), 13);
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
        {"--link", "com1", "--line-rate", "0"},
        {"--link", "com1", "--line-rate", "96OO"},
        {"--link", "com1", "--line-rate", "-9600"},
        {"--link", "com1", "--line-rate"},
        {"--link", "com1", "--answer-delay", "60001"},
        {"--link", "com1", "--answer-delay", ""},
        {"--link", "com1", "--swipe", ""},
        {"--link", "com1", "--swipe", "{256}"},
        {"--link", "com1", "--swipe", "a\tb"},
        {"--link", "com1", "--swipe", std::string(4097, 'x')},
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

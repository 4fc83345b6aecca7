#include "cli/PortSpec.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

TEST(PortSpec, NumbersAndComNamesGoThroughThePortMap) {
    for (const std::string text : {"3", "COM3", "com3", "Com3"}) {
        const std::optional<PortSpec> spec = PortSpec::parse(text);
        ASSERT_TRUE(spec) << text;
        EXPECT_EQ(spec->portNumber(), 3);
        EXPECT_EQ(spec->label(), "COM3");
    }
    EXPECT_EQ(PortSpec::parse("255")->portNumber(), 255);
    const PortMap map("/tmp/ports", std::nullopt, std::nullopt);
    EXPECT_EQ(PortSpec::parse("COM12")->resolve(map), std::filesystem::path("/tmp/ports/com12"));
}

TEST(PortSpec, AnythingWithASlashIsADevicePath) {
    const std::optional<PortSpec> spec = PortSpec::parse("/dev/serial/by-id/usb-FTDI-if00");
    ASSERT_TRUE(spec);
    EXPECT_EQ(spec->portNumber(), 0);
    EXPECT_EQ(spec->label(), "/dev/serial/by-id/usb-FTDI-if00");
    const PortMap map("/tmp/ports", std::nullopt, std::nullopt);
    EXPECT_EQ(spec->resolve(map), std::filesystem::path("/dev/serial/by-id/usb-FTDI-if00"));
    EXPECT_EQ(PortSpec::parse("./com3")->label(), "./com3");
}

TEST(PortSpec, MistypedPortsAreRefusedRatherThanTakenForFiles) {
    for (const std::string text : {"", "0", "256", "-1", "+3", "COM", "COM0", "COMX", "COM3x", "3 ",
                                   " 3", "ttyUSB0", "99999999999"}) {
        EXPECT_FALSE(PortSpec::parse(text)) << text;
    }
}

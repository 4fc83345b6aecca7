#include "link/PortName.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

TEST(PortName, NumbersAndComNamesGoThroughThePortMap) {
    for (const std::string text : {"3", "COM3", "com3", "Com3"}) {
        const std::optional<PortName> portName = PortName::parse(text);
        ASSERT_TRUE(portName) << text;
        EXPECT_EQ(portName->portNumber(), 3);
        EXPECT_EQ(portName->label(), "COM3");
    }
    EXPECT_EQ(PortName::parse("255")->portNumber(), 255);
    const PortMap map("/tmp/ports", std::nullopt, std::nullopt);
    EXPECT_EQ(PortName::parse("COM12")->resolve(map), std::filesystem::path("/tmp/ports/com12"));
}

TEST(PortName, AnythingWithASlashIsADevicePath) {
    const std::optional<PortName> portName = PortName::parse("/dev/serial/by-id/usb-FTDI-if00");
    ASSERT_TRUE(portName);
    EXPECT_EQ(portName->portNumber(), 0);
    EXPECT_EQ(portName->label(), "/dev/serial/by-id/usb-FTDI-if00");
    const PortMap map("/tmp/ports", std::nullopt, std::nullopt);
    EXPECT_EQ(portName->resolve(map), std::filesystem::path("/dev/serial/by-id/usb-FTDI-if00"));
    EXPECT_EQ(PortName::parse("./com3")->label(), "./com3");
}

TEST(PortName, MistypedPortsAreRefusedRatherThanTakenForFiles) {
    for (const std::string text : {"", "0", "256", "-1", "+3", "COM", "COM0", "COMX", "COM3x", "3 ",
                                   " 3", "ttyUSB0", "99999999999"}) {
        EXPECT_FALSE(PortName::parse(text)) << text;
    }
}

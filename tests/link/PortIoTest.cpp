#include "link/HardwarePortIo.h"
#include "link/KeyboardPortLink.h"
#include "link/NullPortIo.h"
#include "link/PortIoSelection.h"
#include "link/TracePortIo.h"
#include "support/FakeClock.h"
#include "support/TempFolder.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::vector<std::string> lines(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

struct TracePortIoTest : ::testing::Test {
    std::filesystem::path file() const { return folder.path() / "port.trace"; }

    TempFolder folder;
    FakeClock clock;
    const std::int64_t startMs = clock.nowMilliseconds();
};

} // namespace

TEST_F(TracePortIoTest, EachWriteIsOneLineVisibleAtOnce) {
    TracePortIo trace(file().string(), clock, startMs);
    ASSERT_TRUE(trace.initialize());
    clock.advance(10342);
    EXPECT_TRUE(trace.writePort(0x60, 0x1B));
    // Read while the trace is still open: every line is flushed as it is written.
    EXPECT_EQ(lines(file()), std::vector<std::string>{"10342 0x60 0x1b"});
    clock.advance(100);
    EXPECT_TRUE(trace.writePort(0x60, 0x05));
    EXPECT_TRUE(trace.writePort(0x64, 0xFF));
    EXPECT_TRUE(trace.writePort(0x60, 0x00));
    EXPECT_EQ(lines(file()), (std::vector<std::string>{"10342 0x60 0x1b", "10442 0x60 0x05",
                                                       "10442 0x64 0xff", "10442 0x60 0x00"}));
}

TEST_F(TracePortIoTest, TraceIsAppendedNotReplaced) {
    { std::ofstream(file()) << "earlier run\n"; }
    {
        TracePortIo trace(file().string(), clock, startMs);
        trace.writePort(0x60, 0x1B);
    }
    TracePortIo again(file().string(), clock, startMs);
    again.writePort(0x60, 0x30);
    EXPECT_EQ(lines(file()),
              (std::vector<std::string>{"earlier run", "0 0x60 0x1b", "0 0x60 0x30"}));
}

TEST_F(TracePortIoTest, KeyboardProbeLeavesItsTimedSequence) {
    TracePortIo trace(file().string(), clock, startMs);
    KeyboardPortLink link(trace, clock);
    link.sendProbe();
    EXPECT_EQ(lines(file()),
              (std::vector<std::string>{"0 0x60 0x1b", "100 0x60 0x05", "200 0x60 0x1e"}));
}

TEST_F(TracePortIoTest, UnwritableTraceFailsQuietly) {
    TracePortIo trace((folder.path() / "missing" / "port.trace").string(), clock, startMs);
    EXPECT_FALSE(trace.isOpen());
    EXPECT_FALSE(trace.initialize());
    EXPECT_FALSE(trace.writePort(0x60, 0x1B));
    trace.shutdown();
}

// initialize is the only call that asks the kernel for port access, and these tests never
// make it: even as root they must not touch the keyboard controller.
TEST(HardwarePortIoTest, WritesWithoutAccessHaveNoEffect) {
    HardwarePortIo io;
    EXPECT_FALSE(io.hasAccess());
    EXPECT_FALSE(io.writePort(0x60, 0x1B));
    EXPECT_FALSE(io.writePort(0x64, 0xFF));
    io.shutdown();
    EXPECT_FALSE(io.writePort(0x60, 0x05));
    EXPECT_TRUE(io.installDriver());
    EXPECT_TRUE(io.removeDriver());
    EXPECT_FALSE(io.hasAccess());
}

TEST(PortIoSelectionTest, SettingChoosesTheBackend) {
    TempFolder folder;
    FakeClock clock;
    const std::int64_t start = clock.nowMilliseconds();

    EXPECT_NE(dynamic_cast<HardwarePortIo*>(makePortIo(nullptr, clock, start).get()), nullptr);
    for (const char* setting : {"none", "", "trace:", "trace", "hardware", "NONE"}) {
        EXPECT_NE(dynamic_cast<NullPortIo*>(makePortIo(setting, clock, start).get()), nullptr)
            << setting;
    }

    const std::filesystem::path file = folder.path() / "keys.trace";
    const std::string setting = "trace:" + file.string();
    const auto io = makePortIo(setting.c_str(), clock, start);
    ASSERT_NE(dynamic_cast<TracePortIo*>(io.get()), nullptr);
    clock.advance(7);
    io->writePort(0x60, 0xAB);
    EXPECT_EQ(lines(file), std::vector<std::string>{"7 0x60 0xab"});
}

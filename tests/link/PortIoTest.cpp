#include "link/HardwarePortIo.h"
#include "link/HelperPortIo.h"
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
#include <unistd.h>
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

TEST(HardwarePortIoTest, AskingForAccessLeavesNoneHeld) {
    // Asks the kernel (which may say yes to root) and gives the access back: nothing is written.
    HardwarePortIo io;
    const PortAccess answer = io.requestAccess();
    EXPECT_TRUE(answer == PortAccess::Granted || answer == PortAccess::Denied);
    EXPECT_FALSE(io.hasAccess());
    EXPECT_FALSE(io.writePort(0x60, 0x1B));
    EXPECT_EQ(io.requestAccess(), answer);
}

namespace {

// A machine as the choice of a backend sees it, with every question counted.
struct PortIoSelectionTest : ::testing::Test {
    PortIoPlatform platform(bool ownAccess, bool helperInstalled, bool allowedWithoutAsking) {
        PortIoPlatform p;
        p.ownAccess = [this, ownAccess] {
            ++accessProbes;
            return ownAccess;
        };
        p.helperPath = helperInstalled ? "/usr/libexec/r550tool/r550-portio" : "";
        p.pkexec = (folder.path() / "never-run").string();
        p.helperAllowedWithoutAsking = [this, allowedWithoutAsking] {
            ++polkitChecks;
            return allowedWithoutAsking;
        };
        return p;
    }
    template <typename T> bool chooses(const char* setting, bool mayAsk, const PortIoPlatform& p) {
        return dynamic_cast<T*>(makePortIo(setting, mayAsk, clock, start, p).get()) != nullptr;
    }

    TempFolder folder;
    FakeClock clock;
    const std::int64_t start = clock.nowMilliseconds();
    int accessProbes = 0;
    int polkitChecks = 0;
};

} // namespace

TEST_F(PortIoSelectionTest, SettingChoosesTheBackend) {
    const PortIoPlatform any = platform(true, true, true);
    EXPECT_TRUE(chooses<HelperPortIo>("helper", true, any));
    EXPECT_TRUE(chooses<NullPortIo>("none", true, any));
    EXPECT_EQ(makePortIo("none", true, clock, start, any)->requestAccess(), PortAccess::Granted);
    EXPECT_EQ(portIoSettingProblem("none") + portIoSettingProblem(nullptr), "");
    // A mistyped setting reaches nothing, and says so instead of passing for "none".
    for (const char* setting : {"", "trace:", "trace", "hardware", "NONE", "Helper", "helpr"}) {
        const auto io = makePortIo(setting, true, clock, start, any);
        EXPECT_EQ(io->requestAccess(), PortAccess::Misconfigured) << setting;
        EXPECT_FALSE(io->writePort(0x60, 0x1B));
        EXPECT_EQ(portIoSettingProblem(setting),
                  "R550_PORT_IO=" + std::string(setting) +
                      " is not a way to reach the keyboard controller; it takes none, "
                      "trace:FILE or helper (or is left unset)");
    }
    // The machine is asked nothing when the setting decides.
    EXPECT_EQ(accessProbes + polkitChecks, 0);

    const std::filesystem::path file = folder.path() / "keys.trace";
    const std::string setting = "trace:" + file.string();
    const auto io = makePortIo(setting.c_str(), true, clock, start, any);
    ASSERT_NE(dynamic_cast<TracePortIo*>(io.get()), nullptr);
    EXPECT_EQ(io->requestAccess(), PortAccess::Granted);
    clock.advance(7);
    io->writePort(0x60, 0xAB);
    EXPECT_EQ(lines(file), std::vector<std::string>{"7 0x60 0xab"});
}

TEST_F(PortIoSelectionTest, UnsetPrefersOwnAccessThenTheHelperAndAsksNoPasswordAtStart) {
    EXPECT_TRUE(chooses<HardwarePortIo>(nullptr, true, platform(true, true, false)));
    EXPECT_TRUE(chooses<HelperPortIo>(nullptr, true, platform(false, true, false)));
    EXPECT_TRUE(chooses<HardwarePortIo>(nullptr, true, platform(false, false, true)));
    EXPECT_EQ(polkitChecks, 0); // where a password may be asked, polkit is not consulted first
    // The start-up search: the helper only when polkit allows it without a password.
    EXPECT_TRUE(chooses<HelperPortIo>(nullptr, false, platform(false, true, true)));
    EXPECT_TRUE(chooses<HardwarePortIo>(nullptr, false, platform(false, true, false)));
    const auto helper = makePortIo("helper", false, clock, start, platform(false, true, false));
    EXPECT_EQ(helper->requestAccess(), PortAccess::Denied);
    EXPECT_FALSE(helper->writePort(0x60, 0x1B));
    EXPECT_EQ(
        makePortIo("helper", true, clock, start, platform(false, false, true))->requestAccess(),
        PortAccess::Denied);
}

TEST_F(PortIoSelectionTest, PolkitIsAskedWithoutInteractionForThisProcess) {
    const std::filesystem::path args = folder.path() / "args";
    const std::filesystem::path pkcheck = folder.path() / "pkcheck";
    const auto script = [&](int code) {
        std::ofstream(pkcheck) << "#!/bin/sh\necho \"$@\" > " << args.string() << "\nexit " << code
                               << "\n";
        std::filesystem::permissions(pkcheck, std::filesystem::perms::owner_all);
    };
    script(0);
    EXPECT_TRUE(polkitAllowsWithoutAsking(pkcheck.string(), "org.r550tool.portio", "42,7,1000"));
    EXPECT_EQ(lines(args),
              std::vector<std::string>{"--action-id org.r550tool.portio --process 42,7,1000"});
    script(2); // authentication would be needed
    EXPECT_FALSE(polkitAllowsWithoutAsking(pkcheck.string(), "org.r550tool.portio", "42"));
    EXPECT_FALSE(polkitAllowsWithoutAsking((folder.path() / "none").string(), "x", "42"));

    // This process, as "pid,start-time,uid": a later process with its number is not taken for it.
    const std::string self = polkitSubject(::getpid());
    const std::string pid = std::to_string(::getpid()), uid = std::to_string(::getuid());
    EXPECT_TRUE(self.starts_with(pid + ",") && self.ends_with("," + uid)) << self;
    EXPECT_GT(self.size(), pid.size() + uid.size() + 2) << self;
}

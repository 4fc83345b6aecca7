#include "link/HelperPortIo.h"

#include "link/KeyboardPortLink.h"
#include "link/SteadyClock.h"
#include "support/TempFolder.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr const char* kInstalledHelper = "/usr/libexec/r550tool/r550-portio";

// A stand-in for pkexec: a shell script that plays pkexec's part, so that no test needs polkit
// or root, and none can reach the real port.
struct HelperPortIoTest : ::testing::Test {
    std::string pkexec(const std::string& body) {
        const std::filesystem::path path = folder.path() / "pkexec";
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path.string();
    }

    // Asks until the answer is no longer Pending, as the window's ticks do (a few seconds at most).
    static PortAccess settle(HelperPortIo& io) {
        PortAccess access = io.requestAccess();
        for (int i = 0; i < 1000 && access == PortAccess::Pending; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            access = io.requestAccess();
        }
        return access;
    }

    TempFolder folder;
};

} // namespace

TEST_F(HelperPortIoTest, ForwardsBytesInOrderAtTheLinksPace) {
    const std::string trace = (folder.path() / "port.trace").string();
    // pkexec is given the installed helper's path; the test build of the helper records instead.
    HelperPortIo io(kInstalledHelper, pkexec(std::string("[ \"$1\" = ") + kInstalledHelper +
                                             " ] || exit 99\nexec " + R550_PORTIO_RECORDING + " " +
                                             trace + " " + (folder.path() / "lock").string()));
    EXPECT_FALSE(io.initialize()); // nothing is started before access is asked for
    // Never waits for the helper (which may, on a busy machine, be ready by the time it looks).
    const PortAccess first = io.requestAccess();
    EXPECT_TRUE(first == PortAccess::Pending || first == PortAccess::Granted);
    ASSERT_EQ(settle(io), PortAccess::Granted);
    SteadyClock clock;
    KeyboardPortLink(io, clock).sendProbe();
    EXPECT_EQ(io.requestAccess(), PortAccess::Granted);
    EXPECT_FALSE(io.writePort(0x64, 0x1B)); // no other port, not even asked for
    EXPECT_FALSE(io.writePort(0x60, 0xF5)); // nor a command to the keyboard itself
    EXPECT_EQ(io.requestAccess(), PortAccess::Granted);

    std::vector<std::string> writes;
    std::vector<long> times;
    std::ifstream in(trace);
    long ms = 0;
    for (std::string port, value; in >> ms >> port >> value;) {
        writes.push_back(port + " " + value);
        times.push_back(ms);
    }
    EXPECT_EQ(writes, (std::vector<std::string>{"0x60 0x1b", "0x60 0x05", "0x60 0x1e"}));
    for (std::size_t i = 1; i < times.size(); ++i) {
        // The link's 100 ms pause between writes reaches the port unchanged.
        EXPECT_GE(times[i] - times[i - 1], 99) << i;
        EXPECT_LT(times[i] - times[i - 1], 2000) << i; // generous: valgrind and a busy machine
    }
}

TEST_F(HelperPortIoTest, RefusalAndFailureToStartAreReasonsNotWrites) {
    const struct {
        const char* script;
        PortAccess expected;
    } cases[] = {
        {"exit 126", PortAccess::Refused}, // the operator dismissed the dialog
        {"exit 127", PortAccess::Refused}, // not authorized
        {"exit 5", PortAccess::Busy},      // the helper: another one holds the port
        // The helper without port access (the test build's trace cannot be written) refuses.
        {"exec " R550_PORTIO_RECORDING " /nonexistent/trace 2>/dev/null", PortAccess::Denied},
        {"printf 'what?\\n'; exec sleep 5", PortAccess::Denied}, // not a helper
    };
    for (const auto& c : cases) {
        HelperPortIo io(kInstalledHelper, pkexec(c.script));
        EXPECT_EQ(settle(io), c.expected) << c.script;
        EXPECT_EQ(io.requestAccess(), c.expected) << c.script;
        EXPECT_FALSE(io.initialize());
        EXPECT_FALSE(io.writePort(0x60, 0x1B)) << c.script;
    }
    HelperPortIo missing(kInstalledHelper, (folder.path() / "no-pkexec").string());
    EXPECT_EQ(missing.requestAccess(), PortAccess::Denied);
    // A bare name is not looked up on PATH, where a folder of anyone's could hold a pkexec.
    const std::string path = std::getenv("PATH");
    ::setenv("PATH", folder.path().c_str(), 1);
    pkexec("printf 'ready\\n'; exec sleep 5");
    EXPECT_EQ(HelperPortIo(kInstalledHelper, "pkexec").requestAccess(), PortAccess::Denied);
    ::setenv("PATH", path.c_str(), 1);
}

TEST_F(HelperPortIoTest, HelperThatDiesMidBatchFailsTheWrites) {
    // Ready, answers two bytes, then ends.
    HelperPortIo io(kInstalledHelper,
                    pkexec("printf 'ready\\n'; dd bs=1 count=2 status=none; exit 0"));
    ASSERT_EQ(settle(io), PortAccess::Granted);
    EXPECT_TRUE(io.writePort(0x60, 0x1B));
    EXPECT_TRUE(io.writePort(0x60, 0x1D));
    EXPECT_FALSE(io.writePort(0x60, 0x21)); // no SIGPIPE either: the test lives on
    EXPECT_EQ(io.requestAccess(), PortAccess::Lost);
    EXPECT_FALSE(io.writePort(0x60, 0x01));
}

#include "ui/DialogTransactionRunner.h"

#include "link/CommandFrame.h"
#include "link/SteadyClock.h"
#include "link/Transfer.h"
#include "support/TempFolder.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

// Points the serial ports at an empty folder and the keyboard port at a trace file for the
// length of a test, so that no real device is touched.
struct SandboxedEnvironment {
    TempFolder folder;
    std::string trace = (folder.path() / "port.trace").string();
    SandboxedEnvironment() {
        ::setenv("R550_PORTS_DIR", folder.path().c_str(), 1);
        ::setenv("R550_PORT_IO", ("trace:" + trace).c_str(), 1);
    }
    ~SandboxedEnvironment() {
        ::unsetenv("R550_PORTS_DIR");
        ::unsetenv("R550_PORT_IO");
    }
    SandboxedEnvironment(const SandboxedEnvironment&) = delete;
    SandboxedEnvironment& operator=(const SandboxedEnvironment&) = delete;
};

// An exchange of frames on COMn (0: the keyboard line), none put in yet.
Transfer exchangeOn(std::int32_t port) {
    Transfer transfer;
    transfer.mode = TransferMode::Exchange;
    transfer.port = port;
    return transfer;
}

} // namespace

TEST(DialogTransactionRunnerTest, SerialPortWithoutDeviceFailsAtOnce) {
    SandboxedEnvironment env;
    DialogTransactionRunner runner(SteadyClock().nowMilliseconds());
    Transfer transfer = exchangeOn(4);
    CommandFrame::firmwareVersion().putInto(transfer.batch, 0);
    transfer.batch.count = 1;
    EXPECT_EQ(runner.run(transfer), EndCode::Ended);
    EXPECT_EQ(transfer.batch.result, TransferResult::Failure);
}

TEST(DialogTransactionRunnerTest, KeyboardFrameGoesThroughTheChosenPortIo) {
    SandboxedEnvironment env;
    DialogTransactionRunner runner(SteadyClock().nowMilliseconds());
    Transfer transfer = exchangeOn(0);
    transfer.batch.frames[0][0] = 0x1B;
    transfer.batch.lengths[0] = 1; // 0x1B and its checksum 0x1B: two writes, 200 ms
    transfer.batch.count = 1;
    EXPECT_EQ(runner.run(transfer), EndCode::Ended);
    EXPECT_EQ(transfer.batch.result, TransferResult::Success);

    std::ifstream in(env.trace);
    std::string line;
    int lines = 0;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string ms, port, value;
        fields >> ms >> port >> value;
        EXPECT_EQ(port, "0x60") << line;
        EXPECT_EQ(value, "0x1b") << line;
        ++lines;
    }
    EXPECT_EQ(lines, 2);
}

TEST(DialogTransactionRunnerTest, MistypedPortIoSettingReachesNothingAndSaysWhy) {
    SandboxedEnvironment env;
    ::setenv("R550_PORT_IO", "helpr", 1);
    DialogTransactionRunner runner(SteadyClock().nowMilliseconds());
    Transfer transfer;
    transfer.mode = TransferMode::KeyboardBatch;
    CommandFrame::factoryReset().putInto(transfer.batch, 0);
    transfer.batch.count = 1;
    EXPECT_EQ(runner.run(transfer), EndCode::Ended);
    EXPECT_EQ(transfer.batch.result, TransferResult::Failure);
    EXPECT_EQ(transfer.failure.kind, FailureKind::PortIoSettingUnknown);
}

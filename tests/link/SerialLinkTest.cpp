#include "link/SerialLink.h"

#include "support/FakeClock.h"
#include "support/PseudoTerminal.h"
#include "support/TempFolder.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

using Bytes = std::vector<std::uint8_t>;

namespace {

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct SerialLinkTest : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(pty.ready());
        std::filesystem::create_symlink(pty.slavePath(), ports.path() / "com3");
    }

    PortMap map() const { return PortMap(ports.path().string(), std::nullopt, std::nullopt); }

    // Reads through the link until count bytes came or a second passed.
    static Bytes readFor(SerialLink& link, std::size_t count) {
        Bytes got;
        const std::int64_t until = nowMs() + 1000;
        while (got.size() < count && nowMs() < until) {
            std::array<std::uint8_t, 64> chunk{};
            const int n = link.read(chunk.data(), static_cast<int>(chunk.size())).count;
            got.insert(got.end(), chunk.begin(), chunk.begin() + n);
            if (n == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        return got;
    }

    TempFolder ports;
    PseudoTerminal pty;
    FakeClock clock;
    SerialLink link{map(), clock};
};

} // namespace

TEST_F(SerialLinkTest, PortWithoutDeviceFailsAtOnce) {
    for (const int port : {1, 9, 0, 256, -1}) {
        const std::int64_t before = nowMs();
        EXPECT_FALSE(link.open(port)) << port;
        EXPECT_LT(nowMs() - before, 100) << port;
        EXPECT_FALSE(link.isOpen());
        EXPECT_EQ(link.lastFailure().kind, FailureKind::NoSuchPort) << port;
    }
}

TEST_F(SerialLinkTest, PortIsExclusiveUntilClosed) {
    ASSERT_TRUE(link.open(3));
    {
        SerialLink second(map(), clock);
        EXPECT_FALSE(second.open(3));
        EXPECT_EQ(second.lastFailure().kind, FailureKind::InUse);
        EXPECT_FALSE(second.isOpen());
    }
    EXPECT_TRUE(link.close());
    EXPECT_FALSE(link.isOpen());

    {
        SerialLink second(map(), clock);
        EXPECT_TRUE(second.open(3));
        // Destroying an open link releases the port as well.
    }
    EXPECT_TRUE(link.open(3));
}

TEST_F(SerialLinkTest, ReopeningReleasesThePreviousPort) {
    // com4 is the same device under another number: it can only be opened once the link has
    // let go of com3.
    std::filesystem::create_symlink(pty.slavePath(), ports.path() / "com4");
    ASSERT_TRUE(link.open(3));
    EXPECT_TRUE(link.open(4));
    SerialLink second(map(), clock);
    EXPECT_FALSE(second.open(3));
    link.close();
    EXPECT_TRUE(second.open(3));
}

TEST_F(SerialLinkTest, ReadNeverWaits) {
    ASSERT_TRUE(link.open(3));
    std::array<std::uint8_t, 4> buffer{0xEE, 0xEE, 0xEE, 0xEE};
    const std::int64_t before = nowMs();
    EXPECT_EQ(link.read(buffer.data(), 4).status, ReadStatus::Nothing);
    EXPECT_LT(nowMs() - before, 50);

    ASSERT_TRUE(pty.send({0x1B, 0x21}));
    const std::int64_t until = nowMs() + 1000;
    ReadResult read;
    while (read.count == 0 && nowMs() < until) {
        read = link.read(buffer.data(), 4);
    }
    EXPECT_EQ(read.status, ReadStatus::Data);
    EXPECT_EQ(read.count, 2);
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 4>{0x1B, 0x21, 0xEE, 0xEE}));
}

TEST_F(SerialLinkTest, ClosedLinkTransfersNothing) {
    std::array<std::uint8_t, 2> buffer{0xEE, 0xEE};
    const std::array<std::uint8_t, 2> frame{0x1B, 0x05};
    EXPECT_EQ(link.read(buffer.data(), 2).count, 0);
    EXPECT_EQ(link.write(frame.data(), 2).count, 0);
    EXPECT_FALSE(link.close());

    ASSERT_TRUE(link.open(3));
    ASSERT_TRUE(link.close());
    EXPECT_EQ(link.read(buffer.data(), 2).count, 0);
    EXPECT_EQ(link.write(frame.data(), 2).count, 0);
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 2>{0xEE, 0xEE}));
}

TEST_F(SerialLinkTest, OpenSetsTheReadersLineSettings) {
    const int slave = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(slave, 0);
    ASSERT_TRUE(link.open(3));
    termios t{};
    ASSERT_EQ(::tcgetattr(slave, &t), 0);
    ::close(slave);

    EXPECT_EQ(::cfgetispeed(&t), B9600);
    EXPECT_EQ(::cfgetospeed(&t), B9600);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);
}

TEST_F(SerialLinkTest, BytesTravelUnchangedBothWays) {
    ASSERT_TRUE(link.open(3));
    // Line ends, flow-control characters, the interrupt character and 0xFF must all pass as
    // they are.
    const Bytes frame{0x1B, 0x21, 0x0D, 0x0A, 0x11, 0x13, 0x03, 0x00, 0x7F, 0xFF};
    EXPECT_TRUE(link.write(frame.data(), static_cast<int>(frame.size())).complete());
    EXPECT_EQ(pty.receive(frame.size()), frame);

    const Bytes reply{0x1B, 0x21, 0x0D, 0x11, 0x13, 0x03, 0x04, 0x01, 0xAA};
    ASSERT_TRUE(pty.send(reply));
    EXPECT_EQ(readFor(link, reply.size()), reply);
    // Nothing was echoed back to the reader.
    EXPECT_TRUE(pty.receive(1, 100).empty());
}

TEST_F(SerialLinkTest, DeviceGoingAwayIsToldApartFromSilence) {
    ASSERT_TRUE(link.open(3));
    std::array<std::uint8_t, 4> buffer{};
    EXPECT_EQ(link.read(buffer.data(), 4).status, ReadStatus::Nothing);

    pty.closeMaster();
    EXPECT_EQ(link.read(buffer.data(), 4).status, ReadStatus::Gone);
    EXPECT_EQ(link.lastFailure().kind, FailureKind::Unplugged);
    const std::array<std::uint8_t, 2> frame{0x1B, 0x05};
    EXPECT_EQ(link.write(frame.data(), 2).status, WriteStatus::Gone);
    EXPECT_TRUE(link.close());
}

TEST_F(SerialLinkTest, DevicesThatAreNoTerminalAreRefused) {
    { std::ofstream(ports.path() / "com5") << "not a port"; }
    std::filesystem::create_directory(ports.path() / "com6");
    std::filesystem::create_symlink(ports.path() / "unplugged", ports.path() / "com7");

    const int before = openDescriptorCount();
    EXPECT_FALSE(link.open(5));
    EXPECT_EQ(link.lastFailure().kind, FailureKind::NotSerial);
    EXPECT_EQ(link.lastFailure().systemError, ENOTTY);
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(openDescriptorCount(), before);
    // The lock went with the descriptor: the same file is refused for the same reason again.
    SerialLink second(map(), clock);
    EXPECT_FALSE(second.open(5));
    EXPECT_EQ(second.lastFailure().kind, FailureKind::NotSerial);

    EXPECT_FALSE(link.open(6));
    EXPECT_EQ(link.lastFailure().kind, FailureKind::NotSerial);
    EXPECT_FALSE(link.open(7));
    EXPECT_EQ(link.lastFailure().kind, FailureKind::NoSuchPort);
    EXPECT_EQ(openDescriptorCount(), before);
}

TEST_F(SerialLinkTest, WriteGivesUpWhenTheLineDoesNotMove) {
    // A second descriptor on the device, taken before the link's exclusive open, fills the
    // output queue that the reader never empties.
    const int slave = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(slave, 0);
    ASSERT_TRUE(link.open(3));
    const std::array<std::uint8_t, 1024> filler{};
    // The kernel moves queued bytes on in the background and so may make room again a moment
    // after a write was refused: fill until the queue stays full over a pause.
    for (int round = 0; round < 50; ++round) {
        int accepted = 0;
        for (int i = 0; i < 1024 && ::write(slave, filler.data(), filler.size()) > 0; ++i) {
            ++accepted;
        }
        if (round > 0 && accepted == 0) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::close(slave);

    // The wait for room goes by on the link's clock.
    const std::array<std::uint8_t, 2> frame{0x1B, 0x05};
    const std::int64_t before = clock.nowMilliseconds();
    const WriteResult written = link.write(frame.data(), 2);
    EXPECT_EQ(written.status, WriteStatus::Stalled);
    EXPECT_EQ(written.count, 0);
    const std::int64_t took = clock.nowMilliseconds() - before;
    EXPECT_GE(took, SerialLink::kWriteBaseMs + 2 * SerialLink::kWritePerByteMs);
    EXPECT_LT(took, SerialLink::kWriteBaseMs + 2 * SerialLink::kWritePerByteMs +
                        SerialLink::kRoomCheckMs);
}

TEST_F(SerialLinkTest, DeviceOpensByItsPathAsByItsNumber) {
    EXPECT_EQ(link.descriptor(), -1);
    ASSERT_TRUE(link.open(PortName::path(pty.slavePath())));
    // The same exclusive open: the port number that names the same device is refused.
    SerialLink second(map(), clock);
    EXPECT_FALSE(second.open(3));
    EXPECT_EQ(second.lastFailure().kind, FailureKind::InUse);
    EXPECT_FALSE(second.open(PortName::path(ports.path() / "com3")));
    EXPECT_EQ(second.lastFailure().kind, FailureKind::InUse);

    // The descriptor wakes a poll when the reader sends.
    pollfd request{link.descriptor(), POLLIN, 0};
    EXPECT_EQ(::poll(&request, 1, 0), 0);
    ASSERT_TRUE(pty.send({0x41, 0x0D}));
    EXPECT_EQ(::poll(&request, 1, 1000), 1);
    EXPECT_EQ(readFor(link, 2), (Bytes{0x41, 0x0D}));

    link.close();
    EXPECT_EQ(link.descriptor(), -1);
    EXPECT_FALSE(link.open(PortName::path(ports.path() / "nothing-here")));
    EXPECT_EQ(link.lastFailure().kind, FailureKind::NoSuchPort);
    EXPECT_TRUE(second.open(PortName::path(pty.slavePath())));
}

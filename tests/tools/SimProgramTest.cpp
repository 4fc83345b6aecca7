// Runs the built simulator and talks to it through its link, as the tool does.

#include "support/ChildProcess.h"
#include "support/TempFolder.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

namespace {

constexpr auto kPatience = 5s;

int millisecondsUntil(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// The built simulator with these arguments.
std::vector<std::string> simArguments(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), R550_SIM_PROGRAM);
    return arguments;
}

// The first line the simulator printed, or what came before it ended or the patience ran out.
std::string readyLine(ChildProcess& sim) {
    sim.waitForOutput("\n", kPatience);
    return sim.output().substr(0, sim.output().find('\n') + 1);
}

// The simulator serving `link` with these further arguments, once it has said so; empty when
// it did not.
std::unique_ptr<ChildProcess> serving(const std::filesystem::path& link,
                                      const std::vector<std::string>& more) {
    std::vector<std::string> arguments{"--link", link.string()};
    arguments.insert(arguments.end(), more.begin(), more.end());
    auto sim = std::make_unique<ChildProcess>(simArguments(arguments), ChildProcess::Environment{});
    return readyLine(*sim).find(" -> /dev/pts/") != std::string::npos ? std::move(sim) : nullptr;
}

// Sends the signal and gives the exit status, or -1 if the program did not end normally.
int stop(ChildProcess& sim, int signal) {
    sim.signal(signal);
    return sim.waitForExit(kPatience);
}

// The simulated port opened the way the tool opens a serial port: raw, reads return at once.
class Port {
public:
    explicit Port(const std::filesystem::path& path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
        termios tio{};
        if (fd_ >= 0 && ::tcgetattr(fd_, &tio) == 0) {
            ::cfmakeraw(&tio);
            tio.c_cc[VMIN] = 0;
            tio.c_cc[VTIME] = 0;
            ::tcsetattr(fd_, TCSANOW, &tio);
        }
    }
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;
    ~Port() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    bool isOpen() const { return fd_ >= 0; }

    bool write(const Bytes& bytes) {
        return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // What a read got, when its first and its last byte came, and how many bytes had come by
    // the first look.
    struct Arrival {
        Bytes bytes;
        std::chrono::steady_clock::time_point first;
        std::chrono::steady_clock::time_point last;
        std::size_t firstCount = 0;
    };
    // Reads until `count` bytes have come or `patience` has passed.
    Arrival timedRead(std::size_t count, std::chrono::milliseconds patience = kPatience) {
        Arrival got;
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (got.bytes.size() < count) {
            pollfd fd{fd_, POLLIN, 0};
            if (::poll(&fd, 1, millisecondsUntil(deadline)) <= 0) {
                break;
            }
            std::array<std::uint8_t, 512> buffer{};
            const ssize_t n =
                ::read(fd_, buffer.data(), std::min(buffer.size(), count - got.bytes.size()));
            if (n <= 0) {
                break;
            }
            got.last = std::chrono::steady_clock::now();
            if (got.bytes.empty()) {
                got.first = got.last;
                got.firstCount = static_cast<std::size_t>(n);
            }
            got.bytes.insert(got.bytes.end(), buffer.begin(), buffer.begin() + n);
        }
        return got;
    }
    Bytes read(std::size_t count, std::chrono::milliseconds patience = kPatience) {
        return timedRead(count, patience).bytes;
    }
    Bytes exchange(const Bytes& frame, std::size_t replyLength) {
        return write(frame) ? read(replyLength) : Bytes{};
    }

private:
    int fd_;
};

std::string contentsOf(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A folder of the test's own; for the tests on the line, a simulator serving com1 there and its
// port opened as the tool opens it.
struct SimProgram : ::testing::Test {
    testing::AssertionResult serve(const std::vector<std::string>& arguments) {
        server = serving(com1, arguments);
        if (!server) {
            return testing::AssertionFailure() << "the simulator gave no ready line";
        }
        line.emplace(com1);
        return line->isOpen() ? testing::AssertionSuccess()
                              : testing::AssertionFailure() << "cannot open " << com1;
    }

    TempFolder folder;
    std::filesystem::path com1 = folder.path() / "com1";
    std::unique_ptr<ChildProcess> server;
    std::optional<Port> line;
};

const Bytes kVersionReply{0x1B, 0x01, 0x05, 'V', '1', '.', '0', '0'};

} // namespace

TEST_F(SimProgram, ServesThePortUntilStoppedAndRemovesItsLink) {
    const auto link = folder.path() / "com1";
    const auto log = folder.path() / "frames.log";
    const auto memory = folder.path() / "memory.txt";
    ChildProcess sim(
        simArguments({"--link", link.string(), "--log", log.string(), "--memory", memory.string()}),
        {});
    const std::string ready = readyLine(sim);
    ASSERT_EQ(ready.rfind("r550-sim: COM link " + link.string() + " -> /dev/pts/", 0), 0u) << ready;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(contentsOf(memory).substr(0, 9), "C0 86 01 ");

    {
        Port port(link);
        ASSERT_TRUE(port.isOpen());
        EXPECT_EQ(port.exchange({0x1B, 0x01}, kVersionReply.size()), kVersionReply);
        EXPECT_EQ(port.exchange({0x1B, 0x1D, 0xC0, 0x00, 0x01, 0x55}, 6),
                  (Bytes{0x1B, 0x1D, 0xC0, 0x00, 0x01, 0xAA}));
    }
    EXPECT_EQ(contentsOf(log), "1B 01\n1B 1D C0 00 01 55\n");
    EXPECT_EQ(contentsOf(memory).substr(0, 9), "C0 55 01 ");

    // The tool opens and closes the port for every transaction; the simulator keeps serving.
    {
        Port port(link);
        ASSERT_TRUE(port.isOpen());
        EXPECT_EQ(port.exchange({0x1B, 0x1C, 0xC0, 0x00, 0x02}, 7),
                  (Bytes{0x1B, 0x1C, 0xC0, 0x00, 0x02, 0x55, 0x01}));
        EXPECT_EQ(port.exchange({0x1B, 0x21, 0x01, 0xFF}, 4), (Bytes{0x1B, 0x21, 0x01, 0x00}));
    }
    EXPECT_EQ(contentsOf(memory).substr(0, 9), "C0 86 01 ");

    EXPECT_EQ(stop(sim, SIGTERM), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST_F(SimProgram, StartsFromAPresetAndDropsAnAbandonedFrame) {
    const auto link = folder.path() / "com2";
    const auto preset = folder.path() / "preset.txt";
    std::string c1 = "C1 07";
    for (int i = 1; i < 64; ++i) {
        c1 += " 00";
    }
    std::ofstream(preset) << "C0 11 22 33 44 55 66 77 88 99 00 00 00 00 00 00 00 AA BB CC DD\n"
                          << c1 << "\n";
    // An old link from an earlier run is replaced.
    std::filesystem::create_symlink("/nonexistent", link);
    ChildProcess sim(
        simArguments({"--link", link.string(), "--preset", preset.string(), "--version", "X"}), {});
    const std::string ready = readyLine(sim);
    ASSERT_NE(ready.find(" -> /dev/pts/"), std::string::npos) << ready;

    Port port(link);
    ASSERT_TRUE(port.isOpen());
    EXPECT_EQ(port.exchange({0x1B, 0x1C, 0xC0, 0x10, 0x04}, 9),
              (Bytes{0x1B, 0x1C, 0xC0, 0x10, 0x04, 0xAA, 0xBB, 0xCC, 0xDD}));
    // A frame cut short and a pause: the next frame is parsed from its own escape byte.
    ASSERT_TRUE(port.write({0x1B, 0x1C, 0xC1}));
    EXPECT_TRUE(port.read(1, 400ms).empty());
    EXPECT_EQ(port.exchange({0x1B, 0x01}, 4), (Bytes{0x1B, 0x01, 0x01, 'X'}));
    EXPECT_TRUE(sim.waitForErrors("dropped incomplete frame 1B 1C C1", kPatience)) << sim.errors();

    EXPECT_EQ(stop(sim, SIGINT), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST_F(SimProgram, RefusesWhatItCannotServe) {
    // A file in the link's place is not replaced.
    const auto occupied = folder.path() / "com3";
    std::ofstream(occupied) << "keep me";
    ChildProcess taken(simArguments({"--link", occupied.string()}), {});
    EXPECT_EQ(taken.waitForExit(kPatience), 1);
    EXPECT_EQ(contentsOf(occupied), "keep me");

    const auto bad = folder.path() / "bad.txt";
    std::ofstream(bad) << "C0 00\n";
    ChildProcess badPreset(
        simArguments({"--link", (folder.path() / "com4").string(), "--preset", bad.string()}), {});
    EXPECT_EQ(badPreset.waitForExit(kPatience), 1);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(folder.path() / "com4")));

    ChildProcess noLink(simArguments({"--silent"}), {});
    EXPECT_EQ(noLink.waitForExit(kPatience), 2);

    EXPECT_NE(taken.errors().find("com3 exists and is not a symbolic link"), std::string::npos);
    EXPECT_NE(badPreset.errors().find("bad.txt is not a memory file"), std::string::npos);
    EXPECT_NE(noLink.errors().find("--link PATH is required"), std::string::npos);
}

// The reader's answer to the version query with a 97-character text is 100 bytes on the wire
// (echo, length byte, text). At 9600 bit/s they take 104 ms, after the 2 ms of the query.
TEST_F(SimProgram, PassesBytesAtTheSpeedOfTheLine) {
    const std::string version(97, 'v');
    ASSERT_TRUE(serve({"--line-rate", "9600", "--version", version}));

    const auto sent = std::chrono::steady_clock::now();
    ASSERT_TRUE(line->write({0x1B, 0x01}));
    const Port::Arrival reply = line->timedRead(100);
    ASSERT_EQ(reply.bytes.size(), 100u);
    EXPECT_EQ(reply.bytes[2], 97);
    const auto total = std::chrono::duration<double, std::milli>(reply.last - sent).count();
    const auto spread = std::chrono::duration<double, std::milli>(reply.last - reply.first).count();
    std::printf("100 bytes at 9600 bit/s: %.1f ms from the query to the last byte, %.1f ms from "
                "the first byte to the last\n",
                total, spread);
    // 2.1 ms for the query and 104.2 ms for the answer. Nothing comes early; the upper bound
    // leaves room for a loaded machine, which can only make the bytes late.
    EXPECT_GE(total, 106.0);
    EXPECT_LE(total, 180.0);
    // The first byte follows the 2 bytes of the query and its own 10 bits.
    EXPECT_GE(reply.first - sent, 3ms);
    EXPECT_EQ(stop(*server, SIGTERM), 0);
}

TEST_F(SimProgram, HoldsEachAnswerAndSendsACardOnSignal) {
    ASSERT_TRUE(serve({"--answer-delay", "80", "--swipe", "%B1{13}{200}"}));

    const auto sent = std::chrono::steady_clock::now();
    ASSERT_TRUE(line->write({0x1B, 0x00}));
    const Port::Arrival echo = line->timedRead(2);
    EXPECT_EQ(echo.bytes, (Bytes{0x1B, 0x00}));
    EXPECT_GE(echo.first - sent, 80ms);

    // A swipe is no answer: it goes at once.
    const auto swiped = std::chrono::steady_clock::now();
    server->signal(SIGUSR1);
    const Port::Arrival swipe = line->timedRead(5);
    EXPECT_EQ(swipe.bytes, (Bytes{'%', 'B', '1', 13, 200}));
    EXPECT_LT(swipe.first - swiped, 80ms);
    server->signal(SIGUSR1);
    EXPECT_EQ(line->read(5), (Bytes{'%', 'B', '1', 13, 200}));
    EXPECT_EQ(stop(*server, SIGTERM), 0);
}

TEST_F(SimProgram, SendsTheDefaultCardAtLineSpeed) {
    ASSERT_TRUE(serve({"--line-rate", "9600"}));
    const std::string card = ";4000001234567899=25121010000000000000?\r";
    server->signal(SIGUSR1);
    const Port::Arrival got = line->timedRead(card.size());
    EXPECT_EQ(std::string(got.bytes.begin(), got.bytes.end()), card);
    // 40 bytes of 10 bits at 9600 bit/s, 1.04 ms each. A test scheduled late finds k bytes at its
    // first look; the byte after them had not been sent then, so at least 40 - k - 1 character
    // times lie between that look and the last byte (counted at 1 ms, for the pacing's jitter).
    ASSERT_GE(got.firstCount, 1u);
    const auto characters = static_cast<std::int64_t>(card.size() - got.firstCount - 1);
    EXPECT_GE(got.last - got.first, std::chrono::milliseconds(characters))
        << got.firstCount << " bytes at the first look";
    EXPECT_EQ(stop(*server, SIGTERM), 0);
}

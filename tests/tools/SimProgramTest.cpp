// Runs the built simulator and talks to it through its link, as the tool does.

#include "support/TempFolder.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

extern char** environ;

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

namespace {

constexpr auto kPatience = 5s;

int millisecondsUntil(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// The simulator as a child process, with its stdout on a pipe.
class SimProcess {
public:
    // The program's complaints go to `errors`.
    SimProcess(const std::vector<std::string>& args, const std::filesystem::path& errors) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
        std::vector<std::string> all{R550_SIM_PROGRAM};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : all) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, R550_SIM_PROGRAM, &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        stdout_ = out[0];
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;
    ~SimProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (stdout_ >= 0) {
            ::close(stdout_);
        }
    }

    // The first line on stdout, or what came before the program ended or the patience ran out.
    std::string readLine() {
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (line.find('\n') == std::string::npos) {
            pollfd fd{stdout_, POLLIN, 0};
            if (::poll(&fd, 1, millisecondsUntil(deadline)) <= 0) {
                break;
            }
            char buffer[256];
            const ssize_t n = ::read(stdout_, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            line.append(buffer, static_cast<std::size_t>(n));
        }
        return line;
    }

    void signal(int number) const { ::kill(pid_, number); }

    // Sends the signal and gives the exit status, or -1 if the program did not end normally.
    int stop(int signal) {
        ::kill(pid_, signal);
        return waitForExit();
    }
    int waitForExit() {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return done > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int stdout_ = -1;
};

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
    // Reads until `count` bytes have come or `patience` has passed.
    Bytes read(std::size_t count, std::chrono::milliseconds patience = kPatience) {
        Bytes got;
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (got.size() < count) {
            pollfd fd{fd_, POLLIN, 0};
            if (::poll(&fd, 1, millisecondsUntil(deadline)) <= 0) {
                break;
            }
            std::array<std::uint8_t, 512> buffer{};
            const ssize_t n = ::read(fd_, buffer.data(), count - got.size());
            if (n <= 0) {
                break;
            }
            got.insert(got.end(), buffer.begin(), buffer.begin() + n);
        }
        return got;
    }
    // Reads `count` bytes and notes when the first and the last of them came.
    Bytes timedRead(std::size_t count, std::chrono::steady_clock::time_point& first,
                    std::chrono::steady_clock::time_point& last) {
        Bytes got;
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (got.size() < count) {
            pollfd fd{fd_, POLLIN, 0};
            if (::poll(&fd, 1, millisecondsUntil(deadline)) <= 0) {
                break;
            }
            std::array<std::uint8_t, 512> buffer{};
            const ssize_t n = ::read(fd_, buffer.data(), count - got.size());
            if (n <= 0) {
                break;
            }
            last = std::chrono::steady_clock::now();
            if (got.empty()) {
                first = last;
            }
            got.insert(got.end(), buffer.begin(), buffer.begin() + n);
        }
        return got;
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

const Bytes kVersionReply{0x1B, 0x01, 0x05, 'V', '1', '.', '0', '0'};

} // namespace

TEST(SimProgram, ServesThePortUntilStoppedAndRemovesItsLink) {
    TempFolder folder;
    const auto link = folder.path() / "com1";
    const auto log = folder.path() / "frames.log";
    const auto memory = folder.path() / "memory.txt";
    SimProcess sim({"--link", link.string(), "--log", log.string(), "--memory", memory.string()},
                   folder.path() / "errors.txt");
    const std::string ready = sim.readLine();
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

    EXPECT_EQ(sim.stop(SIGTERM), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(SimProgram, StartsFromAPresetAndDropsAnAbandonedFrame) {
    TempFolder folder;
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
    SimProcess sim({"--link", link.string(), "--preset", preset.string(), "--version", "X"},
                   folder.path() / "errors.txt");
    const std::string ready = sim.readLine();
    ASSERT_NE(ready.find(" -> /dev/pts/"), std::string::npos) << ready;

    Port port(link);
    ASSERT_TRUE(port.isOpen());
    EXPECT_EQ(port.exchange({0x1B, 0x1C, 0xC0, 0x10, 0x04}, 9),
              (Bytes{0x1B, 0x1C, 0xC0, 0x10, 0x04, 0xAA, 0xBB, 0xCC, 0xDD}));
    // A frame cut short and a pause: the next frame is parsed from its own escape byte.
    ASSERT_TRUE(port.write({0x1B, 0x1C, 0xC1}));
    EXPECT_TRUE(port.read(1, 400ms).empty());
    EXPECT_EQ(port.exchange({0x1B, 0x01}, 4), (Bytes{0x1B, 0x01, 0x01, 'X'}));
    EXPECT_NE(contentsOf(folder.path() / "errors.txt").find("dropped incomplete frame 1B 1C C1"),
              std::string::npos);

    EXPECT_EQ(sim.stop(SIGINT), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(SimProgram, RefusesWhatItCannotServe) {
    TempFolder folder;
    // A file in the link's place is not replaced.
    const auto occupied = folder.path() / "com3";
    std::ofstream(occupied) << "keep me";
    const auto errors = folder.path() / "errors.txt";
    SimProcess taken({"--link", occupied.string()}, errors);
    EXPECT_EQ(taken.waitForExit(), 1);
    EXPECT_EQ(contentsOf(occupied), "keep me");

    const auto bad = folder.path() / "bad.txt";
    std::ofstream(bad) << "C0 00\n";
    SimProcess badPreset({"--link", (folder.path() / "com4").string(), "--preset", bad.string()},
                         errors);
    EXPECT_EQ(badPreset.waitForExit(), 1);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(folder.path() / "com4")));

    SimProcess noLink({"--silent"}, errors);
    EXPECT_EQ(noLink.waitForExit(), 2);

    const std::string complaints = contentsOf(errors);
    EXPECT_NE(complaints.find("com3 exists and is not a symbolic link"), std::string::npos);
    EXPECT_NE(complaints.find("bad.txt is not a memory file"), std::string::npos);
    EXPECT_NE(complaints.find("--link PATH is required"), std::string::npos);
}

// The reader's answer to the version query with a 97-character text is 100 bytes on the wire
// (echo, length byte, text). At 9600 bit/s they take 104 ms, after the 2 ms of the query.
TEST(SimProgram, PassesBytesAtTheSpeedOfTheLine) {
    TempFolder folder;
    const auto link = folder.path() / "com1";
    const std::string version(97, 'v');
    SimProcess sim({"--link", link.string(), "--line-rate", "9600", "--version", version},
                   folder.path() / "errors.txt");
    ASSERT_NE(sim.readLine().find(" -> /dev/pts/"), std::string::npos);
    Port port(link);
    ASSERT_TRUE(port.isOpen());

    const auto sent = std::chrono::steady_clock::now();
    ASSERT_TRUE(port.write({0x1B, 0x01}));
    std::chrono::steady_clock::time_point first;
    std::chrono::steady_clock::time_point last;
    const Bytes reply = port.timedRead(100, first, last);
    ASSERT_EQ(reply.size(), 100u);
    EXPECT_EQ(reply[2], 97);
    const auto total = std::chrono::duration<double, std::milli>(last - sent).count();
    const auto spread = std::chrono::duration<double, std::milli>(last - first).count();
    std::printf("100 bytes at 9600 bit/s: %.1f ms from the query to the last byte, %.1f ms from "
                "the first byte to the last\n",
                total, spread);
    // 2.1 ms for the query and 104.2 ms for the answer. Nothing comes early; the upper bound
    // leaves room for a loaded machine, which can only make the bytes late.
    EXPECT_GE(total, 106.0);
    EXPECT_LE(total, 180.0);
    // The first byte follows the 2 bytes of the query and its own 10 bits.
    EXPECT_GE(first - sent, 3ms);
    EXPECT_EQ(sim.stop(SIGTERM), 0);
}

TEST(SimProgram, HoldsEachAnswerAndSendsACardOnSignal) {
    TempFolder folder;
    const auto link = folder.path() / "com1";
    SimProcess sim({"--link", link.string(), "--answer-delay", "80", "--swipe", "%B1{13}{200}"},
                   folder.path() / "errors.txt");
    ASSERT_NE(sim.readLine().find(" -> /dev/pts/"), std::string::npos);
    Port port(link);
    ASSERT_TRUE(port.isOpen());

    const auto sent = std::chrono::steady_clock::now();
    ASSERT_TRUE(port.write({0x1B, 0x00}));
    std::chrono::steady_clock::time_point first;
    std::chrono::steady_clock::time_point last;
    EXPECT_EQ(port.timedRead(2, first, last), (Bytes{0x1B, 0x00}));
    EXPECT_GE(first - sent, 80ms);

    // A swipe is no answer: it goes at once.
    const auto swiped = std::chrono::steady_clock::now();
    sim.signal(SIGUSR1);
    EXPECT_EQ(port.timedRead(5, first, last), (Bytes{'%', 'B', '1', 13, 200}));
    EXPECT_LT(first - swiped, 80ms);
    sim.signal(SIGUSR1);
    EXPECT_EQ(port.read(5), (Bytes{'%', 'B', '1', 13, 200}));
    EXPECT_EQ(sim.stop(SIGTERM), 0);
}

TEST(SimProgram, SendsTheDefaultCardAtLineSpeed) {
    TempFolder folder;
    const auto link = folder.path() / "com1";
    SimProcess sim({"--link", link.string(), "--line-rate", "9600"}, folder.path() / "errors.txt");
    ASSERT_NE(sim.readLine().find(" -> /dev/pts/"), std::string::npos);
    Port port(link);
    ASSERT_TRUE(port.isOpen());
    const std::string card = ";4000001234567899=25121010000000000000?\r";
    sim.signal(SIGUSR1);
    std::chrono::steady_clock::time_point first;
    std::chrono::steady_clock::time_point last;
    const Bytes got = port.timedRead(card.size(), first, last);
    EXPECT_EQ(std::string(got.begin(), got.end()), card);
    // 40 bytes: 39 character times (40.6 ms) between the first and the last, less what the first
    // waited for this test to be scheduled.
    EXPECT_GE(last - first, 38ms);
    EXPECT_EQ(sim.stop(SIGTERM), 0);
}

// Runs the built simulator and talks to it through its link, as the tool does.

#include "support/TempFolder.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
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

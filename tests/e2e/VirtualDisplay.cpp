#include "VirtualDisplay.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// Owns one end of the pipe on which the server announces its display number.
class PipeEnd {
public:
    explicit PipeEnd(int fd = -1) : fd_(fd) {}
    PipeEnd(const PipeEnd&) = delete;
    PipeEnd& operator=(const PipeEnd&) = delete;
    ~PipeEnd() { close(); }
    int get() const { return fd_; }
    void close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_;
};

constexpr auto kStartLimit = std::chrono::seconds(20);

} // namespace

bool VirtualDisplay::start(const std::filesystem::path& logFile, std::string& error) {
    int fds[2];
    // The write end is inherited by the server (no close-on-exec); the read end is not.
    if (::pipe(fds) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    PipeEnd readEnd(fds[0]);
    PipeEnd writeEnd(fds[1]);
    ::fcntl(readEnd.get(), F_SETFD, FD_CLOEXEC);

    ChildProcess::Options options;
    options.arguments = {"Xvfb",      "-displayfd", std::to_string(writeEnd.get()),
                         "-screen",   "0",          "1024x768x24",
                         "-nolisten", "tcp",        "-noreset"};
    options.outputFile = logFile;
    if (!server_.start(options, error)) {
        return false;
    }
    writeEnd.close();

    // The server writes the number and a newline once it accepts connections.
    std::string announced;
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    while (announced.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            error = "Xvfb announced no display within 20 s (see " + logFile.string() + ")";
            server_.stop();
            return false;
        }
        pollfd readable{readEnd.get(), POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char buffer[32];
        const ssize_t n = ::read(readEnd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = "Xvfb ended before it announced a display (see " + logFile.string() + ")";
            server_.stop();
            return false;
        }
        announced.append(buffer, static_cast<std::size_t>(n));
    }
    name_ = ":" + announced.substr(0, announced.find('\n'));
    return true;
}

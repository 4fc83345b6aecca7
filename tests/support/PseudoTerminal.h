#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <system_error>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

// A pseudo-terminal whose slave stands in for a serial device; the test plays the reader at the
// master. The slave is opened once, raw, before any link opens it: that sets the line up as a
// reader's port would be (no echo, no line editing) and lets the test see when bytes it sent
// have reached the slave, since a pseudo-terminal hands them over asynchronously.
class PseudoTerminal {
public:
    using Bytes = std::vector<std::uint8_t>;

    PseudoTerminal() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            return;
        }
        const char* name = ::ptsname(master_);
        if (name == nullptr) {
            return;
        }
        slavePath_ = name;
        watch_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios raw{};
        if (watch_ >= 0 && ::tcgetattr(watch_, &raw) == 0) {
            ::cfmakeraw(&raw);
            ::tcsetattr(watch_, TCSANOW, &raw);
        }
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;
    ~PseudoTerminal() {
        closeMaster();
        closeFd(watch_);
    }

    bool ready() const { return master_ >= 0 && watch_ >= 0 && !slavePath_.empty(); }
    const std::string& slavePath() const { return slavePath_; }
    int master() const { return master_; }
    // How many descriptors this object holds open.
    int descriptors() const { return (master_ >= 0 ? 1 : 0) + (watch_ >= 0 ? 1 : 0); }

    // FOLDER/comN becomes a link to the slave, as a ports folder (R550_PORTS_DIR) expects.
    bool linkAs(const std::filesystem::path& folder, int portNumber) const {
        std::error_code error;
        std::filesystem::create_symlink(slavePath_, folder / ("com" + std::to_string(portNumber)),
                                        error);
        return !error;
    }

    // The reader goes away, as when its cable is pulled: the slave hangs up.
    void closeMaster() { closeFd(master_); }

    // Drops what the link has not read yet, as a reader's line left quiet for a while would.
    void discardInput() const {
        if (watch_ >= 0) {
            ::tcflush(watch_, TCIFLUSH);
        }
    }

    // Bytes the link has not read yet.
    int pendingAtSlave() const {
        int n = 0;
        return watch_ >= 0 && ::ioctl(watch_, FIONREAD, &n) == 0 ? n : 0;
    }

    // Sends bytes as the reader and waits (at most waitMs) until the slave holds them, so that
    // the link's next read sees all of them.
    bool send(const Bytes& bytes, int waitMs = 1000) {
        const int before = pendingAtSlave();
        if (::write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
            return false;
        }
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        while (pendingAtSlave() < before + static_cast<int>(bytes.size())) {
            if (std::chrono::steady_clock::now() > until) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    // What the link sent, waiting up to waitMs for count bytes.
    Bytes receive(std::size_t count, int waitMs = 1000) {
        Bytes got;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        // At least one look, so that a wait of 0 takes what is already there.
        do {
            pollfd request{master_, POLLIN, 0};
            if (::poll(&request, 1, waitMs > 0 ? 10 : 0) > 0 && (request.revents & POLLIN) != 0) {
                std::array<std::uint8_t, 256> chunk{};
                const ssize_t n =
                    ::read(master_, chunk.data(), std::min(chunk.size(), count - got.size()));
                if (n > 0) {
                    got.insert(got.end(), chunk.begin(), chunk.begin() + n);
                }
            }
        } while (got.size() < count && std::chrono::steady_clock::now() < until);
        return got;
    }

private:
    static void closeFd(int& fd) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }

    int master_ = -1;
    int watch_ = -1;
    std::string slavePath_;
};

// Entries of /proc/self/fd: the descriptors this process holds.
inline int openDescriptorCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

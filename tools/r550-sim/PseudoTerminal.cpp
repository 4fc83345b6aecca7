#include "PseudoTerminal.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>

namespace {
std::string failure(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}
} // namespace

bool PseudoTerminal::open(std::string& error) {
    master_.reset(::posix_openpt(O_RDWR | O_NOCTTY));
    if (!master_.valid()) {
        error = failure("posix_openpt");
        return false;
    }
    if (::fcntl(master_.get(), F_SETFD, FD_CLOEXEC) != 0 ||
        ::fcntl(master_.get(), F_SETFL, O_NONBLOCK) != 0) {
        error = failure("fcntl on the master");
        return false;
    }
    if (::grantpt(master_.get()) != 0) {
        error = failure("grantpt");
        return false;
    }
    if (::unlockpt(master_.get()) != 0) {
        error = failure("unlockpt");
        return false;
    }
    std::array<char, 128> name{};
    if (::ptsname_r(master_.get(), name.data(), name.size()) != 0) {
        error = failure("ptsname_r");
        return false;
    }
    slaveName_ = name.data();

    const UniqueFd slave = openSlave(error);
    if (!slave.valid()) {
        return false;
    }
    termios tio{};
    if (::tcgetattr(slave.get(), &tio) != 0) {
        error = failure("tcgetattr");
        return false;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    if (::tcsetattr(slave.get(), TCSANOW, &tio) != 0) {
        error = failure("tcsetattr");
        return false;
    }
    return true;
}

UniqueFd PseudoTerminal::openSlave(std::string& error) const {
    UniqueFd slave(::open(slaveName_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!slave.valid()) {
        error = failure(("open " + slaveName_).c_str());
    }
    return slave;
}

// The stop stays with the terminal when the slave is closed again.
bool PseudoTerminal::stopLine() {
    std::string ignored;
    const UniqueFd slave = openSlave(ignored);
    return slave.valid() && ::tcflow(slave.get(), TCOOFF) == 0;
}

#include "base/TerminalKeys.h"

#include <unistd.h>

TerminalKeys::TerminalKeys(int fd) : fd_(fd) {
    if (::isatty(fd) != 1 || ::tcgetattr(fd, &saved_) != 0) {
        return;
    }
    termios keys = saved_;
    keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    keys.c_cc[VMIN] = 1;
    keys.c_cc[VTIME] = 0;
    active_ = ::tcsetattr(fd, TCSANOW, &keys) == 0;
}

TerminalKeys::~TerminalKeys() {
    if (active_) {
        ::tcsetattr(fd_, TCSANOW, &saved_);
    }
}

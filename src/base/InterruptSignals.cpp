#include "base/InterruptSignals.h"

#include <sys/signalfd.h>
#include <unistd.h>

InterruptSignals::InterruptSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    if (::sigprocmask(SIG_BLOCK, &signals, &previous_) != 0) {
        return;
    }
    blocked_ = true;
    fd_.reset(::signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC));
}

InterruptSignals::~InterruptSignals() {
    if (fd_.valid()) {
        while (take() != 0) {
        }
    }
    fd_.reset();
    if (blocked_) {
        ::sigprocmask(SIG_SETMASK, &previous_, nullptr);
    }
}

int InterruptSignals::take() {
    signalfd_siginfo info{};
    if (!fd_.valid() ||
        ::read(fd_.get(), &info, sizeof info) != static_cast<ssize_t>(sizeof info)) {
        return 0;
    }
    return static_cast<int>(info.ssi_signo);
}

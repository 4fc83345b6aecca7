#include "PortioHelper.h"

#include "Confinement.h"
#include "FdHelperChannel.h"
#include "HelperChannel.h"
#include "link/PortIo.h"
#include "link/SteadyClock.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <unistd.h>

PortioHelper::PortioHelper(PortIo& io, Clock& clock, HelperChannel& channel)
    : io_(io), clock_(clock), channel_(channel) {}

int PortioHelper::run(const std::function<bool()>& confine) {
    if (!io_.initialize()) {
        accessError_ = errno;
        return kNoAccess;
    }
    const int code = confine && !confine() ? kNotConfined : serve();
    io_.shutdown();
    return code;
}

int PortioHelper::answer(const void* data, std::size_t size) {
    switch (channel_.send(data, size)) {
    case HelperChannel::Output::Sent:
        return kDone;
    case HelperChannel::Output::Stalled:
        return kCallerStalled;
    case HelperChannel::Output::Gone:
        break;
    }
    return kCallerGone;
}

int PortioHelper::serve() {
    if (const int code = answer(kReadyLine, sizeof kReadyLine - 1); code != kDone) {
        return code;
    }
    const std::int64_t endMs = clock_.nowMilliseconds() + kTimeBudgetMs;
    for (int received = 0;; ++received) {
        const std::int64_t leftMs = endMs - clock_.nowMilliseconds();
        if (received >= kByteBudget || leftMs <= 0) {
            return kBudgetSpent;
        }
        const int waitMs = static_cast<int>(std::min<std::int64_t>(kSilenceLimitMs, leftMs));
        std::uint8_t byte = 0;
        switch (channel_.receive(byte, waitMs)) {
        case HelperChannel::Input::Byte:
            break;
        case HelperChannel::Input::Silence:
            return waitMs < kSilenceLimitMs ? kBudgetSpent : kDone;
        case HelperChannel::Input::End:
            return kDone;
        case HelperChannel::Input::Gone:
            return kCallerGone;
        case HelperChannel::Input::Error:
            return kReadFailed;
        }
        if (const int code = serveByte(byte); code != kDone) {
            return code;
        }
    }
}

int PortioHelper::serveByte(std::uint8_t byte) {
    if (byte > kHighestByte) {
        return answer(&kRefusedAnswer, 1);
    }
    if (lastWriteMs_ >= 0) {
        const std::int64_t since = clock_.nowMilliseconds() - lastWriteMs_;
        if (since < kFloorMs) {
            clock_.sleepMilliseconds(static_cast<int>(kFloorMs - since));
        }
    }
    lastWriteMs_ = clock_.nowMilliseconds();
    if (!io_.writePort(kPort, byte)) {
        return kWriteFailed;
    }
    return answer(&byte, 1);
}

std::string PortioHelper::noAccessReason(int error, bool root, const std::string& lockdown) {
    const std::string system = std::string(" (ioperm: ") + std::strerror(error) + ")";
    if (error == ENOSYS) {
        return "this kernel has no port I/O: it was built without it, or the machine has no "
               "I/O ports" +
               system;
    }
    // The file marks the level in force in brackets: "[none] integrity confidentiality".
    const bool lockedDown =
        lockdown.find('[') != std::string::npos && lockdown.find("[none]") == std::string::npos;
    if (error == EPERM && lockedDown) {
        return "the kernel is locked down (Secure Boot), which forbids port I/O even to root" +
               system;
    }
    if ((error == EPERM || error == EACCES) && !root) {
        return "it needs root (run it through pkexec)" + system;
    }
    return "the kernel refused it" + system;
}

int PortioHelper::runOnStandardStreams(PortIo& io, const char* lockPath, int traceDescriptor) {
    // A vanished caller shows as a failed answer, never as a signal.
    std::signal(SIGPIPE, SIG_IGN);
    bool busy = false;
    const UniqueFd lock = Confinement::takeLock(lockPath, busy);
    if (busy) {
        std::fputs("r550-portio: port 0x60 is busy: another r550-portio is writing to it\n",
                   stderr);
        return kBusy;
    }
    if (!lock.valid()) {
        std::fprintf(stderr, "r550-portio: cannot take the lock %s: %s\n", lockPath,
                     std::strerror(errno));
        return kNoAccess;
    }
    SteadyClock clock;
    FdHelperChannel channel(STDIN_FILENO, STDOUT_FILENO);
    PortioHelper helper(io, clock, channel);
    const int code = helper.run([traceDescriptor] { return Confinement::enter(traceDescriptor); });
    if (code == kNoAccess) {
        std::ifstream lockdownFile(kLockdownFile);
        std::string lockdown;
        std::getline(lockdownFile, lockdown);
        std::fprintf(stderr, "r550-portio: no access to I/O port 0x60: %s\n",
                     noAccessReason(helper.accessError(), ::geteuid() == 0, lockdown).c_str());
    } else if (code == kNotConfined) {
        std::fputs("r550-portio: could not give up its other privileges; nothing written\n",
                   stderr);
    }
    return code;
}

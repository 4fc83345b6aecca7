#include "link/HelperPortIo.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr std::string_view kReadyLine = "ready\n";
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorized = 127;

} // namespace

HelperPortIo::HelperPortIo(std::string helperPath, std::string pkexec)
    : helperPath_(std::move(helperPath)), pkexec_(std::move(pkexec)) {}

HelperPortIo::~HelperPortIo() {
    // The helper ends at the end of its input; pkexec, still waiting for the operator, is asked
    // to end by the Subprocess.
    channel_.reset();
    child_.stop(300);
}

bool HelperPortIo::initialize() {
    return access_ == PortAccess::Granted;
}

void HelperPortIo::shutdown() {}

bool HelperPortIo::installDriver() {
    return true;
}

bool HelperPortIo::removeDriver() {
    return true;
}

PortAccess HelperPortIo::requestAccess() {
    if (!started_) {
        started_ = true;
        startHelper();
    }
    if (access_ == PortAccess::Pending) {
        readReadyLine();
    } else if (access_ == PortAccess::Granted && child_.exitCode()) {
        lose();
    }
    return access_;
}

void HelperPortIo::startHelper() {
    // Where the start of a missing program is only seen as its exit code 127 (pkexec's "not
    // authorized"), a missing pkexec would pass for a refusal. A bare name is never looked up.
    if (!pkexec_.starts_with('/') || ::access(pkexec_.c_str(), X_OK) != 0) {
        access_ = PortAccess::Denied;
        return;
    }
    // A socket rather than pipes: a write to a helper that is gone then fails with EPIPE
    // (MSG_NOSIGNAL) instead of raising SIGPIPE in the whole program.
    int ends[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        access_ = PortAccess::Denied;
        return;
    }
    channel_.reset(ends[0]);
    const UniqueFd childEnd(ends[1]); // the child has its copy; ours closes after the start
    if (!child_.start({pkexec_, helperPath_}, childEnd.get())) {
        channel_.reset();
        access_ = PortAccess::Denied;
    }
}

void HelperPortIo::readReadyLine() {
    ssize_t n = 0;
    while (greeting_.size() < kReadyLine.size()) {
        char buffer[kReadyLine.size()];
        n = ::recv(channel_.get(), buffer, kReadyLine.size() - greeting_.size(), MSG_DONTWAIT);
        if (n <= 0) {
            break;
        }
        greeting_.append(buffer, static_cast<std::size_t>(n));
    }
    if (greeting_ == kReadyLine) {
        access_ = PortAccess::Granted;
        return;
    }
    const bool nothingYet = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
    if (nothingYet && kReadyLine.starts_with(greeting_)) {
        // Still authenticating, unless pkexec has ended already.
        if (const auto code = child_.exitCode()) {
            endBeforeReady(code);
        }
        return;
    }
    // The helper's side closed (pkexec is ending: wait for its code), or it said something else:
    // it will not become ready.
    endBeforeReady(n == 0 ? child_.waitFor(kAnswerLimitMs) : child_.exitCode());
}

void HelperPortIo::endBeforeReady(std::optional<int> exitCode) {
    const bool refused =
        exitCode && (*exitCode == kPkexecDismissed || *exitCode == kPkexecNotAuthorized);
    access_ = refused ? PortAccess::Refused : PortAccess::Denied;
    if (exitCode && *exitCode == kHelperBusy) {
        access_ = PortAccess::Busy;
    }
    channel_.reset();
}

bool HelperPortIo::writePort(std::uint16_t port, std::uint8_t value) {
    if (access_ != PortAccess::Granted || port != kKeyboardDataPort || value > kHighestByte) {
        return false;
    }
    ssize_t sent = 0;
    do {
        sent = ::send(channel_.get(), &value, 1, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerLimitMs);
    std::uint8_t answer = 0;
    ssize_t received = -1;
    while (sent == 1 && received < 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd entry{channel_.get(), POLLIN, 0};
        if (::poll(&entry, 1, static_cast<int>(left.count())) > 0) {
            received = ::recv(channel_.get(), &answer, 1, MSG_DONTWAIT);
            if (received < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                break;
            }
        }
    }
    if (received != 1 || answer != value) {
        lose();
        return false;
    }
    return true;
}

void HelperPortIo::lose() {
    access_ = PortAccess::Lost;
    channel_.reset();
}

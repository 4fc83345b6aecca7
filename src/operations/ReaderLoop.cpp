#include "operations/ReaderLoop.h"

#include "base/InterruptSignals.h"
#include "link/Clock.h"
#include "operations/ReaderSession.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>
#include <sys/epoll.h>
#include <unistd.h>

namespace {

constexpr std::uint64_t kSignalTag = 0;
constexpr std::uint64_t kKeysTag = 1;
constexpr std::uint64_t kFirstSessionTag = 2;

} // namespace

ReaderLoop::ReaderLoop(Clock& clock, InterruptSignals& signals)
    : clock_(clock), signals_(signals) {}

void ReaderLoop::watchKeys(int fd, std::function<void(int key)> onKey) {
    keysFd_ = fd;
    onKey_ = std::move(onKey);
}

bool ReaderLoop::add(int fd, unsigned events, std::uint64_t tag) {
    epoll_event event{};
    event.events = events;
    event.data.u64 = tag;
    if (::epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, fd, &event) != 0) {
        error_ = std::string("epoll: ") + std::strerror(errno);
        return false;
    }
    return true;
}

void ReaderLoop::registerLines(const std::vector<ReaderSession*>& sessions) {
    for (std::size_t i = 0; i < sessions.size(); ++i) {
        ReaderPort& port = sessions[i]->port();
        // A port that closed left the epoll set with its descriptor; a new open is added anew,
        // even when it got the same descriptor number.
        if (!port.isOpen() || port.opens() == registeredOpens_[i]) {
            continue;
        }
        registeredOpens_[i] = port.opens();
        if (!add(port.descriptor(), EPOLLIN | EPOLLOUT | EPOLLRDHUP | EPOLLET,
                 kFirstSessionTag + i)) {
            sessions[i]->abandon("its line cannot be watched (" + error_ + ")");
            error_.clear();
        }
    }
}

int ReaderLoop::timeoutMs(const std::vector<ReaderSession*>& sessions) const {
    std::int64_t earliest = std::numeric_limits<std::int64_t>::max();
    for (const ReaderSession* session : sessions) {
        if (const std::optional<std::int64_t> due = session->deadline()) {
            earliest = std::min(earliest, *due);
        }
    }
    if (earliest == std::numeric_limits<std::int64_t>::max()) {
        return -1;
    }
    const std::int64_t left = earliest - clock_.nowMilliseconds();
    return left <= 0 ? 0 : static_cast<int>(std::min<std::int64_t>(left, 60'000));
}

bool ReaderLoop::readKeys() {
    std::array<unsigned char, 64> keys{};
    const ssize_t got = ::read(keysFd_, keys.data(), keys.size());
    if (got <= 0) {
        return got < 0 && errno == EAGAIN;
    }
    for (ssize_t i = 0; i < got; ++i) {
        onKey_(keys[static_cast<std::size_t>(i)]);
    }
    return true;
}

void ReaderLoop::onSignal(const std::vector<ReaderSession*>& sessions) {
    if (signals_.take() == 0) {
        return;
    }
    for (ReaderSession* session : sessions) {
        if (interrupted_) {
            session->release();
        } else {
            session->interrupt();
        }
    }
    released_ = interrupted_;
    interrupted_ = true;
}

bool ReaderLoop::takeEvents(const std::vector<ReaderSession*>& sessions, int ready,
                            std::vector<bool>& woken, bool& keyed) {
    for (int i = 0; i < ready; ++i) {
        const std::uint64_t tag = events_.at(static_cast<std::size_t>(i)).data.u64;
        if (tag == kSignalTag) {
            onSignal(sessions);
            if (released_) {
                return false;
            }
        } else if (tag == kKeysTag) {
            keyed = true;
            if (!readKeys()) {
                // The terminal went away: no key can come any more.
                ::epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, keysFd_, nullptr);
                keysFd_ = -1;
            }
        } else if (tag - kFirstSessionTag < sessions.size()) {
            woken[tag - kFirstSessionTag] = true;
        }
    }
    return true;
}

ReaderLoop::Ending ReaderLoop::run(const std::vector<ReaderSession*>& sessions) {
    epoll_.reset(::epoll_create1(EPOLL_CLOEXEC));
    if (!epoll_.valid()) {
        error_ = std::string("epoll: ") + std::strerror(errno);
        return Ending::Failed;
    }
    if (!add(signals_.descriptor(), EPOLLIN, kSignalTag) ||
        (keysFd_ >= 0 && !add(keysFd_, EPOLLIN, kKeysTag))) {
        return Ending::Failed;
    }
    interrupted_ = false;
    released_ = false;
    registeredOpens_.assign(sessions.size(), 0);
    registerLines(sessions);
    std::vector<bool> woken(sessions.size());
    const auto anyRunning = [&sessions] {
        return std::any_of(sessions.begin(), sessions.end(),
                           [](const ReaderSession* session) { return session->running(); });
    };
    while (anyRunning()) {
        const int ready = ::epoll_wait(epoll_.get(), events_.data(),
                                       static_cast<int>(events_.size()), timeoutMs(sessions));
        if (ready < 0 && errno != EINTR) {
            error_ = std::string("epoll: ") + std::strerror(errno);
            return Ending::Failed;
        }
        std::fill(woken.begin(), woken.end(), false);
        bool keyed = false;
        if (!takeEvents(sessions, ready, woken, keyed)) {
            return Ending::Interrupted;
        }
        const std::int64_t now = clock_.nowMilliseconds();
        for (std::size_t i = 0; i < sessions.size(); ++i) {
            const std::optional<std::int64_t> due = sessions[i]->deadline();
            // A key may have moved a session on (the O of a reader in the keyboard line).
            if (woken[i] || (due && *due <= now) || keyed) {
                sessions[i]->service();
            }
        }
        registerLines(sessions);
        if (afterRound_) {
            afterRound_();
        }
    }
    return interrupted_ ? Ending::Interrupted : Ending::Finished;
}

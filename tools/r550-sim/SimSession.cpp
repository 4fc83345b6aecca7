#include "SimSession.h"

#include "base/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <span>
#include <string>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

using SteadyTime = std::chrono::steady_clock;

// Bytes of a frame follow one another closely: the tool writes a frame in one go and sends the
// next one at the earliest a 500 ms tick later. A frame still incomplete after this pause was
// abandoned, and its bytes are dropped so that the next frame is parsed from its own escape byte
// instead of being swallowed as the rest of the old one.
constexpr auto kFrameGap = std::chrono::milliseconds(250);
// Replies and swipes wait here while the tool does not read them; a tool that never drains
// cannot make the simulator grow without bound.
constexpr std::size_t kMaxPendingReplyBytes = 64 * 1024;
constexpr int kIdlePollMs = 1000;
// While no tool has the port open the master reports a hang-up at once, so the loop looks again
// after this pause; it is also the longest a tool's first frame after its open waits unseen.
constexpr int kHangUpPauseMs = 10;

std::string withErrno(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// Written beside the final name and renamed over it, so a reader of the file never sees half of
// it.
bool writeFileAtomically(const std::string& name, const std::string& text) {
    const std::string temp = name + ".tmp";
    UniqueFd file(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!file.valid()) {
        return false;
    }
    if (!UniqueFd::writeAll(file.get(), text.data(), text.size()) || !file.close() ||
        ::rename(temp.c_str(), name.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

} // namespace

void complain(const std::string& text) {
    std::fprintf(stderr, "r550-sim: %s\n", text.c_str());
}

bool SimSession::serve() {
    lastInput_ = SteadyTime::now();
    for (;;) {
        // The next moment something is due: a byte arriving either way, or an abandoned frame.
        auto wake = SteadyTime::now() + std::chrono::milliseconds(kIdlePollMs);
        if (reader_.hasPartialFrame()) {
            wake = std::min(wake, lastInput_ + kFrameGap);
        }
        for (const std::optional<SerialLine::TimePoint> arrival :
             {input_.nextArrival(), output_.nextArrival()}) {
            if (arrival) {
                wake = std::min(wake, *arrival);
            }
        }
        const auto left = std::max(SteadyTime::duration::zero(), wake - SteadyTime::now());
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
        const timespec timeout{static_cast<time_t>(seconds.count()),
                               static_cast<long>((left - seconds).count())};

        pollfd fds[2] = {{signals_, POLLIN, 0}, {master_, POLLIN, 0}};
        if (!pendingReply_.empty()) {
            fds[1].events |= POLLOUT;
        }
        if (::ppoll(fds, 2, &timeout, nullptr) < 0 && errno != EINTR) {
            complain(withErrno("poll"));
            return false;
        }
        if ((fds[0].revents & POLLIN) && !handleSignal()) {
            return true;
        }
        const auto now = SteadyTime::now();
        if (fds[1].revents & POLLIN) {
            if (!receive(now)) {
                return false;
            }
        } else if (fds[1].revents & (POLLHUP | POLLERR)) {
            pause();
        }
        feedArrived(now);
        const std::vector<std::uint8_t> sent = output_.take(now);
        pendingReply_.insert(pendingReply_.end(), sent.begin(), sent.end());
        if (!sendPending()) {
            return false;
        }
        if (reader_.hasPartialFrame() && now - lastInput_ >= kFrameGap) {
            dropAbandonedFrame();
        }
    }
}

bool SimSession::saveMemory() const {
    return options_.memory.empty() ||
           writeFileAtomically(options_.memory, reader_.memory().toText());
}

bool SimSession::handleSignal() {
    signalfd_siginfo info{};
    const ssize_t n = ::read(signals_, &info, sizeof info);
    if (n != static_cast<ssize_t>(sizeof info)) {
        return true; // nothing there after all
    }
    if (info.ssi_signo != SIGUSR1) {
        return false;
    }
    const std::vector<std::uint8_t> swipe =
        options_.card ? options_.card->shape(reader_.memory()) : options_.swipe;
    queueOutput(swipe, SteadyTime::now(), "swipe");
    return true;
}

bool SimSession::receive(SerialLine::TimePoint now) {
    std::uint8_t buffer[512];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        return true;
    }
    if (n < 0 && errno == EIO) {
        // Every slave descriptor is closed; the tool will open the port again.
        pause();
        return true;
    }
    if (n < 0) {
        complain(withErrno("read"));
        return false;
    }
    // A tool that floods the line cannot make the simulator grow without bound either.
    if (input_.size() + static_cast<std::size_t>(n) > kMaxPendingReplyBytes) {
        complain("the line is flooded; input dropped");
        return true;
    }
    input_.put(std::span<const std::uint8_t>(buffer, static_cast<std::size_t>(n)), now);
    return true;
}

void SimSession::feedArrived(SerialLine::TimePoint now) {
    const std::vector<std::uint8_t> arrived = input_.take(now);
    if (arrived.empty()) {
        return;
    }
    lastInput_ = now;
    const SimReader::Outcome outcome = reader_.feed(arrived);
    if (log_ >= 0) {
        for (const std::vector<std::uint8_t>& frame : outcome.frames) {
            const std::string line = SimReader::logLine(frame);
            if (!UniqueFd::writeAll(log_, line.data(), line.size())) {
                complain("cannot write the log " + options_.log);
            }
        }
    }
    if (outcome.memoryWritten && !saveMemory()) {
        complain("cannot write the memory file " + options_.memory);
    }
    queueOutput(outcome.reply, now + std::chrono::milliseconds(options_.answerDelayMs), "reply");
}

void SimSession::queueOutput(const std::vector<std::uint8_t>& bytes, SerialLine::TimePoint at,
                             const char* what) {
    if (bytes.empty()) {
        return;
    }
    if (pendingReply_.size() + output_.size() + bytes.size() > kMaxPendingReplyBytes) {
        complain(std::string("the port is not being read; ") + what + " dropped");
        return;
    }
    output_.put(bytes, at);
}

bool SimSession::sendPending() {
    while (!pendingReply_.empty()) {
        const ssize_t n = ::write(master_, pendingReply_.data(), pendingReply_.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EIO)) {
            return true; // the rest goes when the port can take it
        }
        if (n < 0) {
            complain(withErrno("write"));
            return false;
        }
        pendingReply_.erase(pendingReply_.begin(), pendingReply_.begin() + n);
    }
    return true;
}

void SimSession::dropAbandonedFrame() {
    std::string line = SimReader::logLine(reader_.dropPartialFrame());
    line.pop_back();
    complain("dropped incomplete frame " + line);
}

void SimSession::pause() const {
    pollfd stop{signals_, POLLIN, 0};
    ::poll(&stop, 1, kHangUpPauseMs);
}

#include "SimSession.h"

#include "base/UniqueFd.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <span>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Bytes of a frame follow one another closely: the tool writes a frame in one go and sends the
// next one at the earliest a 500 ms tick later. A frame still incomplete after this pause was
// abandoned, and its bytes are dropped so that the next frame is parsed from its own escape byte
// instead of being swallowed as the rest of the old one.
constexpr auto kFrameGap = std::chrono::milliseconds(250);
// Replies wait here while the tool does not read them; a tool that never drains cannot make
// the simulator grow without bound.
constexpr std::size_t kMaxPendingReplyBytes = 64 * 1024;
constexpr int kIdlePollMs = 1000;
constexpr int kHangUpPauseMs = 100;

void complain(const std::string& text) {
    std::fprintf(stderr, "r550-sim: %s\n", text.c_str());
}

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

bool SimSession::serve() {
    auto lastInput = Clock::now();
    for (;;) {
        int timeoutMs = kIdlePollMs;
        if (reader_.hasPartialFrame()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                lastInput + kFrameGap - Clock::now());
            timeoutMs = left.count() < 0 ? 0 : static_cast<int>(left.count()) + 1;
        }
        pollfd fds[2] = {{stopSignals_, POLLIN, 0}, {master_, POLLIN, 0}};
        if (!pendingReply_.empty()) {
            fds[1].events |= POLLOUT;
        }
        if (::poll(fds, 2, timeoutMs) < 0 && errno != EINTR) {
            complain(withErrno("poll"));
            return false;
        }
        if (fds[0].revents & POLLIN) {
            return true;
        }
        if (fds[1].revents & POLLIN) {
            if (!receive()) {
                return false;
            }
            lastInput = Clock::now();
        } else if (fds[1].revents & (POLLHUP | POLLERR)) {
            pause();
        }
        if ((fds[1].revents & POLLOUT) && !sendPending()) {
            return false;
        }
        if (reader_.hasPartialFrame() && Clock::now() - lastInput >= kFrameGap) {
            dropAbandonedFrame();
        }
    }
}

bool SimSession::saveMemory() const {
    return options_.memory.empty() ||
           writeFileAtomically(options_.memory, reader_.memory().toText());
}

bool SimSession::receive() {
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
    const SimReader::Outcome outcome =
        reader_.feed(std::span<const std::uint8_t>(buffer, static_cast<std::size_t>(n)));
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
    if (pendingReply_.size() + outcome.reply.size() > kMaxPendingReplyBytes) {
        complain("the port is not being read; reply dropped");
    } else {
        pendingReply_.insert(pendingReply_.end(), outcome.reply.begin(), outcome.reply.end());
    }
    return sendPending();
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
    pollfd stop{stopSignals_, POLLIN, 0};
    ::poll(&stop, 1, kHangUpPauseMs);
}

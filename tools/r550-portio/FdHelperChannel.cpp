#include "FdHelperChannel.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

FdHelperChannel::FdHelperChannel(int in, int out) : in_(in), out_(out) {
    // The kernel raises this to its minimum; a pipe or terminal refuses it, which is fine.
    const int smallest = 1;
    ::setsockopt(out_, SOL_SOCKET, SO_SNDBUF, &smallest, sizeof smallest);
}

HelperChannel::Input FdHelperChannel::receive(std::uint8_t& byte, int timeoutMs) {
    for (;;) {
        pollfd entry{in_, POLLIN, 0};
        const int ready = ::poll(&entry, 1, timeoutMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready == 0) {
            return Input::Silence;
        }
        // One byte per read: whatever the caller queued stays queued, nothing is skipped.
        const ssize_t n = ready < 0 ? -1 : ::read(in_, &byte, 1);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (n < 0) {
            return errno == ECONNRESET ? Input::Gone : Input::Error;
        }
        return n == 1 ? Input::Byte : Input::End;
    }
}

HelperChannel::Output FdHelperChannel::send(const void* data, std::size_t size) {
    using SteadyTime = std::chrono::steady_clock;
    const auto deadline = SteadyTime::now() + std::chrono::milliseconds(kSendLimitMs);
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyTime::now())
                .count();
        pollfd entry{out_, POLLOUT, 0};
        if (left <= 0 || (::poll(&entry, 1, static_cast<int>(left)) == 0)) {
            return Output::Stalled;
        }
        ssize_t n = ::send(out_, bytes, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == ENOTSOCK) {
            n = ::write(out_, bytes, size); // a pipe: SIGPIPE is ignored by the program
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
            continue;
        }
        if (n <= 0) {
            return Output::Gone;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return Output::Sent;
}

#include "FdHelperChannel.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

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
        return n == 1 ? Input::Byte : Input::End;
    }
}

bool FdHelperChannel::send(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(out_, bytes, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

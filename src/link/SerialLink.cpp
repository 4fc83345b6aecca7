#include "link/SerialLink.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr short kGoneEvents = POLLHUP | POLLERR | POLLNVAL;

// Errors of a read or write on an open port that mean the device itself has gone.
bool isGoneError(int error) {
    return error == EIO || error == ENXIO || error == ENODEV || error == EPIPE || error == EBADF;
}

// Pseudo-terminals and some adapters have no modem lines or no exclusive mode; that is no
// reason to refuse the port.
bool isUnsupportedRequest(int error) {
    return error == ENOTTY || error == EINVAL;
}

std::int64_t steadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int pollOnce(int fd, short events, int timeoutMs, short& revents) {
    pollfd request{fd, events, 0};
    int ready = 0;
    do {
        ready = ::poll(&request, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    revents = request.revents;
    return ready;
}

} // namespace

SerialLink::SerialLink() : SerialLink(PortMap::fromEnvironment()) {}

SerialLink::SerialLink(PortMap map) : map_(std::move(map)) {}

SerialLink::~SerialLink() {
    close();
}

SerialError SerialLink::errorFromErrno(int error) {
    switch (error) {
    case 0:
        return SerialError::None;
    case ENOENT:
    case ENOTDIR:
    case ENODEV:
    case ENXIO:
    case ELOOP:
    // A /dev/ttyS node without a UART behind it fails its open with EIO.
    case EIO:
        return SerialError::NoSuchPort;
    case EBUSY:
    case EWOULDBLOCK:
        return SerialError::InUse;
    case EACCES:
    case EPERM:
    case EROFS:
        return SerialError::NoPermission;
    case ENOTTY:
    case EINVAL:
    case EISDIR:
        return SerialError::NotSerial;
    default:
        return SerialError::Other;
    }
}

bool SerialLink::fail(int error) {
    fd_.reset();
    lastErrno_ = error;
    lastError_ = errorFromErrno(error);
    if (lastError_ == SerialError::None) {
        lastError_ = SerialError::Other;
    }
    return false;
}

bool SerialLink::open(int portNumber) {
    const std::optional<std::filesystem::path> device = map_.resolve(portNumber);
    if (!device) {
        close();
        lost_ = false;
        return fail(ENOENT);
    }
    return openDevice(*device);
}

bool SerialLink::openDevice(const std::filesystem::path& device) {
    close();
    lost_ = false;
    lastError_ = SerialError::None;
    lastErrno_ = 0;

    // Non-blocking, so that neither the open (waiting for carrier) nor any later read or write
    // can hold the window.
    fd_.reset(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd_.valid()) {
        return fail(errno);
    }
    // Every open has its own open file description, so this lock also refuses a second link
    // of this program and a root user, which the terminal's exclusive mode lets through.
    if (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
        return fail(errno);
    }
    if (::ioctl(fd_.get(), TIOCEXCL) != 0 && !isUnsupportedRequest(errno)) {
        return fail(errno);
    }
    if (!setLineSettings()) {
        return fail(errno);
    }
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (::ioctl(fd_.get(), TIOCMBIS, &lines) != 0 && !isUnsupportedRequest(errno)) {
        return fail(errno);
    }
    return true;
}

bool SerialLink::setLineSettings() {
    termios settings{};
    if (::tcgetattr(fd_.get(), &settings) != 0) {
        return false;
    }
    // Raw bytes both ways: nothing received is translated, stripped, marked or taken as a
    // signal, and nothing sent is post-processed.
    settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP |
                                               INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    settings.c_lflag &=
        ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= static_cast<tcflag_t>(CS8 | CLOCAL | CREAD);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (::cfsetispeed(&settings, B9600) != 0 || ::cfsetospeed(&settings, B9600) != 0) {
        return false;
    }
    if (::tcsetattr(fd_.get(), TCSANOW, &settings) != 0) {
        return false;
    }
    // tcsetattr succeeds when any part of the request was taken; a device that kept another
    // speed or frame size cannot talk to the reader.
    termios applied{};
    if (::tcgetattr(fd_.get(), &applied) != 0) {
        return false;
    }
    if (::cfgetospeed(&applied) != B9600 || ::cfgetispeed(&applied) != B9600 ||
        (applied.c_cflag & CSIZE) != CS8 || (applied.c_cflag & (PARENB | CSTOPB)) != 0) {
        errno = EINVAL;
        return false;
    }
    return true;
}

void SerialLink::markLost(int error) {
    lost_ = true;
    lastError_ = SerialError::DeviceLost;
    lastErrno_ = error;
}

int SerialLink::read(std::uint8_t* buffer, int n) {
    if (!fd_.valid() || buffer == nullptr || n <= 0) {
        return 0;
    }
    short revents = 0;
    const int ready = pollOnce(fd_.get(), POLLIN, 0, revents);
    if (ready <= 0) {
        return 0;
    }
    // Bytes that arrived before a hang-up are still handed out.
    if ((revents & POLLIN) != 0) {
        const ssize_t got = ::read(fd_.get(), buffer, static_cast<std::size_t>(n));
        if (got > 0) {
            return static_cast<int>(got);
        }
        if (got < 0 && isGoneError(errno)) {
            markLost(errno);
            return 0;
        }
    }
    if ((revents & kGoneEvents) != 0) {
        markLost(EIO);
    }
    return 0;
}

int SerialLink::write(const std::uint8_t* bytes, int n) {
    if (!fd_.valid() || bytes == nullptr || n <= 0) {
        return 0;
    }
    const std::int64_t deadline =
        steadyMilliseconds() + kWriteBaseMs + static_cast<std::int64_t>(kWritePerByteMs) * n;
    int written = 0;
    while (written < n) {
        const ssize_t put =
            ::write(fd_.get(), bytes + written, static_cast<std::size_t>(n - written));
        if (put > 0) {
            written += static_cast<int>(put);
            continue;
        }
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            if (isGoneError(errno)) {
                markLost(errno);
            }
            break;
        }
        // The output queue is full: wait for room, never past the deadline (tcdrain would wait
        // without limit on a line held by flow control or a stuck device).
        const std::int64_t left = deadline - steadyMilliseconds();
        short revents = 0;
        const int ready =
            left > 0 ? pollOnce(fd_.get(), POLLOUT, static_cast<int>(left), revents) : 0;
        if (ready < 0) {
            break;
        }
        if ((revents & kGoneEvents) != 0) {
            markLost(EIO);
            break;
        }
        if (ready == 0) {
            // What is still queued would reach the reader late, in the middle of a later
            // exchange; drop it.
            ::tcflush(fd_.get(), TCOFLUSH);
            break;
        }
    }
    return written;
}

bool SerialLink::close() {
    if (!fd_.valid()) {
        return false;
    }
    // A pseudo-terminal keeps the exclusive flag after the last close otherwise.
    ::ioctl(fd_.get(), TIOCNXCL);
    fd_.reset();
    return true;
}

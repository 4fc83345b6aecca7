#include "link/SerialLink.h"

#include "link/Clock.h"
#include "link/PortHolders.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <utility>
#include <vector>

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

void SerialLink::notePermissions(const std::string& path, Failure& failure) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return;
    }
    std::vector<char> buffer(4096);
    if ((info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP)) {
        group entry{};
        group* found = nullptr;
        const bool named =
            ::getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 &&
            found != nullptr && found->gr_name != nullptr;
        failure.group = named ? std::string(found->gr_name) : std::to_string(info.st_gid);
        return;
    }
    passwd entry{};
    passwd* found = nullptr;
    const bool named =
        ::getpwuid_r(info.st_uid, &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_name != nullptr;
    failure.owner = named ? std::string(found->pw_name) : std::to_string(info.st_uid);
    failure.mode = info.st_mode & 07777U;
}

SerialLink::SerialLink(Clock& clock) : SerialLink(PortMap::fromEnvironment(), clock) {}

SerialLink::SerialLink(PortMap map, Clock& clock) : map_(std::move(map)), clock_(clock) {}

SerialLink::~SerialLink() {
    close();
}

FailureKind SerialLink::failureFromErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENODEV:
    case ENXIO:
    case ELOOP:
    // A /dev/ttyS node without a UART behind it fails its open with EIO.
    case EIO:
        return FailureKind::NoSuchPort;
    case EBUSY:
    case EWOULDBLOCK:
        return FailureKind::InUse;
    case EACCES:
    case EPERM:
    case EROFS:
        return FailureKind::NoPermission;
    case ENOTTY:
    case EINVAL:
    case EISDIR:
        return FailureKind::NotSerial;
    default:
        return FailureKind::OpenFailed;
    }
}

bool SerialLink::fail(int error) {
    release();
    failure_ = Failure{};
    failure_.kind = failureFromErrno(error);
    failure_.port = portNumber_;
    failure_.device = device_;
    failure_.systemError = error;
    if (failure_.kind == FailureKind::NoSuchPort) {
        for (const std::filesystem::path& place : map_.candidates(portNumber_)) {
            failure_.tried.push_back(place.string());
        }
        if (portNumber_ == 0 && !device_.empty()) {
            failure_.tried.push_back(device_); // opened by its path
        }
    } else if (failure_.kind == FailureKind::NoPermission) {
        notePermissions(device_, failure_);
    }
    return false;
}

bool SerialLink::failHeld(const std::string& program, int pid) {
    fail(EBUSY);
    failure_.holder = program;
    failure_.holderPid = pid;
    return false;
}

bool SerialLink::checkHolders(const std::filesystem::path& device, bool& sawAll) {
    PortHolders holders;
    const std::optional<PortHolders::Holder> holder = holders.find(device);
    sawAll = holders.sawAll();
    if (!holder || forceOpen_) {
        return true;
    }
    return failHeld(holder->program, holder->pid);
}

bool SerialLink::checkExclusive(bool sawAll) {
    int exclusive = 0;
    if (forceOpen_ || ::ioctl(fd_.get(), TIOCGEXCL, &exclusive) != 0 || exclusive == 0) {
        return true;
    }
    // Root opens a terminal in exclusive mode all the same. When every process could be looked
    // into and none has it open, the mode is left over from a holder that ended without giving
    // it up (a pseudo-terminal keeps it), and nobody is there to share the line with.
    return sawAll || failHeld("", 0);
}

bool SerialLink::open(const PortName& port) {
    const std::optional<std::filesystem::path> device = port.resolve(map_);
    if (!device) {
        close();
        portNumber_ = port.portNumber();
        device_.clear();
        return fail(ENOENT);
    }
    return openAs(*device, port.portNumber());
}

bool SerialLink::openAs(const std::filesystem::path& device, int portNumber) {
    close();
    failure_ = Failure{};
    portNumber_ = portNumber;
    device_ = device.string();

    bool sawAll = false;
    if (!checkHolders(device, sawAll)) {
        return false;
    }
    // Non-blocking, so that neither the open (waiting for carrier) nor any later read or write
    // can hold the window.
    fd_.reset(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd_.valid()) {
        return fail(errno);
    }
    if (!checkExclusive(sawAll)) {
        return false;
    }
    // Every open has its own open file description, so this lock also refuses a second link
    // of this program and a root user, which the terminal's exclusive mode lets through.
    if (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0 && !(forceOpen_ && errno == EWOULDBLOCK)) {
        return fail(errno);
    }
    // A forced open leaves a holder's exclusive mode for the holder to end.
    int othersMode = 0;
    if (forceOpen_ && ::ioctl(fd_.get(), TIOCGEXCL, &othersMode) == 0 && othersMode != 0) {
        exclusive_ = false;
    } else if (::ioctl(fd_.get(), TIOCEXCL) == 0) {
        exclusive_ = true;
    } else if (!isUnsupportedRequest(errno)) {
        return fail(errno);
    }
    if (!setLineSettings()) {
        return fail(errno);
    }
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (::ioctl(fd_.get(), TIOCMBIS, &lines) != 0 && !isUnsupportedRequest(errno)) {
        return fail(errno);
    }
    // What waits in the port is from before this open (the late reply of an exchange that was
    // cut short, noise of a reader powering up) and would be read as the answer to the next
    // frame. Only input is dropped; nothing goes out.
    if (::tcflush(fd_.get(), TCIFLUSH) != 0) {
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
    failure_ = Failure{};
    failure_.kind = FailureKind::Unplugged;
    failure_.port = portNumber_;
    failure_.device = device_;
    failure_.systemError = error;
}

ReadResult SerialLink::read(std::uint8_t* buffer, int n) {
    if (!fd_.valid() || buffer == nullptr || n <= 0) {
        return {};
    }
    short revents = 0;
    const int ready = pollOnce(fd_.get(), POLLIN, 0, revents);
    if (ready <= 0) {
        return {};
    }
    // Bytes that arrived before a hang-up are still handed out.
    if ((revents & POLLIN) != 0) {
        const ssize_t got = ::read(fd_.get(), buffer, static_cast<std::size_t>(n));
        if (got > 0) {
            return {ReadStatus::Data, static_cast<int>(got)};
        }
        if (got < 0 && isGoneError(errno)) {
            markLost(errno);
            return {ReadStatus::Gone, 0};
        }
    }
    if ((revents & kGoneEvents) != 0) {
        markLost(EIO);
        return {ReadStatus::Gone, 0};
    }
    return {};
}

WriteResult SerialLink::write(const std::uint8_t* bytes, int n) {
    if (!fd_.valid() || bytes == nullptr || n <= 0) {
        return {WriteStatus::Stalled, 0};
    }
    const std::int64_t deadline =
        clock_.nowMilliseconds() + kWriteBaseMs + static_cast<std::int64_t>(kWritePerByteMs) * n;
    int written = 0;
    WriteStatus status = WriteStatus::Stalled;
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
                status = WriteStatus::Gone;
            }
            break;
        }
        // The output queue is full: wait for room, never past the deadline (tcdrain would wait
        // without limit on a line held by flow control or a stuck device).
        const std::int64_t left = deadline - clock_.nowMilliseconds();
        short revents = 0;
        const int ready = left > 0 ? pollOnce(fd_.get(), POLLOUT, 0, revents) : 0;
        if (ready < 0) {
            break;
        }
        if ((revents & kGoneEvents) != 0) {
            markLost(EIO);
            status = WriteStatus::Gone;
            break;
        }
        if (ready == 0 && left > 0) {
            clock_.sleepMilliseconds(static_cast<int>(std::min<std::int64_t>(left, kRoomCheckMs)));
        } else if (ready == 0) {
            // What is still queued would reach the reader late, in the middle of a later
            // exchange; drop it.
            ::tcflush(fd_.get(), TCOFLUSH);
            break;
        }
    }
    if (written == n) {
        status = WriteStatus::Complete;
    }
    return {status, written};
}

WriteResult SerialLink::writeNow(const std::uint8_t* bytes, int n) {
    if (!fd_.valid() || bytes == nullptr || n <= 0) {
        return {WriteStatus::Stalled, 0};
    }
    ssize_t put = 0;
    do {
        put = ::write(fd_.get(), bytes, static_cast<std::size_t>(n));
    } while (put < 0 && errno == EINTR);
    if (put < 0) {
        if (isGoneError(errno)) {
            markLost(errno);
            return {WriteStatus::Gone, 0};
        }
        return {WriteStatus::Stalled, 0};
    }
    return {put == n ? WriteStatus::Complete : WriteStatus::Stalled, static_cast<int>(put)};
}

bool SerialLink::close() {
    if (!fd_.valid()) {
        return false;
    }
    release();
    return true;
}

void SerialLink::release() {
    // A pseudo-terminal keeps the exclusive flag after the last close otherwise; an open that
    // failed after taking it gives it up as well. A flag this link did not set (another holder's)
    // stays.
    if (fd_.valid() && exclusive_) {
        ::ioctl(fd_.get(), TIOCNXCL);
    }
    exclusive_ = false;
    fd_.reset();
}

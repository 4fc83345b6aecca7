#include "ui/SessionDriver.h"

#include "link/Clock.h"
#include "operations/ReaderSession.h"

#include <algorithm>
#include <limits>

#include <QSocketNotifier>

namespace {

// How soon bytes that wait for the rest of their reply are looked at again: a few character
// times at 9600 bit/s.
constexpr int kRecheckMs = 5;

} // namespace

SessionDriver::SessionDriver(ReaderSession& session, Clock& clock)
    : session_(session), clock_(clock) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &SessionDriver::serve);
}

SessionDriver::~SessionDriver() {
    dropNotifier();
}

void SessionDriver::watch() {
    if (!session_.running()) {
        emit ended();
        return;
    }
    rearm();
}

void SessionDriver::serve() {
    if (notifier_ != nullptr) {
        notifier_->setEnabled(false);
    }
    session_.service();
    if (!session_.running()) {
        timer_.stop();
        dropNotifier();
        emit ended();
        return;
    }
    rearm();
}

void SessionDriver::rearm() {
    ReaderPort& port = session_.port();
    if (!port.isOpen() || port.opens() != watchedOpen_) {
        dropNotifier();
    }
    if (port.isOpen() && notifier_ == nullptr) {
        watchedOpen_ = port.opens();
        notifier_ = new QSocketNotifier(port.descriptor(), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &SessionDriver::serve);
    }
    const bool unread = port.waiting() > 0;
    if (notifier_ != nullptr) {
        notifier_->setEnabled(!unread);
    }
    std::int64_t waitMs = std::numeric_limits<int>::max();
    if (const std::optional<std::int64_t> due = session_.deadline()) {
        waitMs = std::max<std::int64_t>(0, *due - clock_.nowMilliseconds());
    }
    if (unread) {
        waitMs = std::min<std::int64_t>(waitMs, kRecheckMs);
    }
    if (waitMs < std::numeric_limits<int>::max()) {
        timer_.start(static_cast<int>(waitMs));
    } else {
        timer_.stop();
    }
}

void SessionDriver::dropNotifier() {
    if (notifier_ != nullptr) {
        notifier_->setEnabled(false);
        notifier_->deleteLater();
        notifier_ = nullptr;
    }
}

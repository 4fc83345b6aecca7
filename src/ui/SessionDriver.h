#pragma once

#include <QObject>
#include <QTimer>

class Clock;
class QSocketNotifier;
class ReaderSession;

// Serves one ReaderSession on the window's event loop as r550ctl's loop serves it: a step runs
// when bytes arrive on the reader's line or when the session's next limit is due, never on the
// transfer window's 100/500 ms ticks. Bytes that a step does not want yet (the start of a longer
// reply) are looked at again a few milliseconds later rather than waking the loop without pause.
class SessionDriver : public QObject {
    Q_OBJECT

public:
    SessionDriver(ReaderSession& session, Clock& clock);
    ~SessionDriver() override;
    SessionDriver(const SessionDriver&) = delete;
    SessionDriver& operator=(const SessionDriver&) = delete;

    // Serves the session, which has begun its transaction, until it runs no longer; then ended().
    void watch();

signals:
    void ended();

private:
    void serve();
    void rearm();
    void dropNotifier();

    ReaderSession& session_;
    Clock& clock_;
    QSocketNotifier* notifier_ = nullptr;
    unsigned watchedOpen_ = 0;
    QTimer timer_;
};

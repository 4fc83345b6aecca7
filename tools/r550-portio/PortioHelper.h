#pragma once

#include <cstdint>

class Clock;
class HelperChannel;
class PortIo;

// What r550-portio does, on any port backend, clock and channel: takes the keyboard
// controller's data port, says "ready", then writes each byte it receives to port 0x60 (and to
// no other port, whatever it is sent), at most one byte per 90 ms, and answers each written
// byte with the same byte. It ends at the end of its input or after 10 s without input.
//
// The floor keeps any caller from flooding the controller; bytes that come faster are not
// dropped but written late. The program's own pacing (100 ms) never runs into it.
class PortioHelper {
public:
    static constexpr std::uint16_t kPort = 0x60;
    static constexpr int kFloorMs = 90;
    static constexpr int kSilenceLimitMs = 10'000;
    static constexpr char kReadyLine[] = "ready\n";

    // Exit codes of run(); pkexec keeps 126 and 127 for itself.
    static constexpr int kDone = 0;
    static constexpr int kNoAccess = 2;   // the port could not be taken; nothing was written
    static constexpr int kCallerGone = 3; // an answer could not be sent
    static constexpr int kWriteFailed = 4;

    PortioHelper(PortIo& io, Clock& clock, HelperChannel& channel);

    int run();

    // The helper program's body on its standard input and output, the real clock and the given
    // port backend; says on standard error why it refuses. Returns the exit code.
    static int runOnStandardStreams(PortIo& io);

private:
    int serve();

    PortIo& io_;
    Clock& clock_;
    HelperChannel& channel_;
};

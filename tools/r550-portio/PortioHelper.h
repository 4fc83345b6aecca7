#pragma once

#include <cstdint>
#include <functional>
#include <string>

class Clock;
class HelperChannel;
class PortIo;

// What r550-portio does, on any port backend, clock and channel: takes the keyboard
// controller's data port, gives up every other privilege, says "ready", then writes each byte it
// receives to port 0x60 (and to no other port, whatever it is sent), at most one byte per 90 ms,
// and answers each written byte with the same byte. It ends at the end of its input, after 10 s
// without input, or when its budget is spent.
//
// The floor keeps any caller from flooding the controller; bytes that come faster are not
// dropped but written late. The program's own pacing (100 ms) never runs into it.
//
// Bytes above 0xE0 are commands to the keyboard itself (0xF5 silences it, 0xFF resets it). The
// tool never sends one, since the keyboard line carries such a value as two bytes, so the helper
// answers each with kRefusedAnswer and does not write it.
//
// The budget is the largest batch the tool sends (programming all settings: 168 port bytes with
// the factory values, 297 with every byte of the block 0xFF) with room to spare, in bytes and in
// time at the tool's 100 ms pace, so that no caller keeps a root process alive for long.
class PortioHelper {
public:
    static constexpr std::uint16_t kPort = 0x60;
    static constexpr std::uint8_t kHighestByte = 0xE0;
    static constexpr std::uint8_t kRefusedAnswer = 0xFF; // never the answer to a written byte
    static constexpr int kFloorMs = 90;
    static constexpr int kSilenceLimitMs = 10'000;
    static constexpr int kByteBudget = 400;
    static constexpr std::int64_t kTimeBudgetMs = 60'000;
    static constexpr char kReadyLine[] = "ready\n";

    // Exit codes of run(); pkexec keeps 126 and 127 for itself.
    static constexpr int kDone = 0;
    static constexpr int kNoAccess = 2;   // the port could not be taken; nothing was written
    static constexpr int kCallerGone = 3; // the caller vanished: an answer could not be sent
    static constexpr int kWriteFailed = 4;
    static constexpr int kBusy = 5;          // another helper holds the port; nothing was written
    static constexpr int kBudgetSpent = 6;   // the run reached its bound in bytes or time
    static constexpr int kCallerStalled = 7; // the caller stopped reading its answers
    static constexpr int kReadFailed = 8;    // the caller's bytes could not be read
    static constexpr int kNotConfined = 9;   // a privilege could not be given up; nothing written
    static constexpr int kArguments = 10;    // started with arguments, which it takes none of
    static constexpr char kLockdownFile[] = "/sys/kernel/security/lockdown";

    PortioHelper(PortIo& io, Clock& clock, HelperChannel& channel);

    // confine runs once the port is taken and before "ready"; when it fails, nothing is served.
    int run(const std::function<bool()>& confine = {});

    // The helper program's body on its standard input and output, the real clock and the given
    // port backend: takes the lock file (one helper at a time), then runs confined; says on
    // standard error why it refuses. Returns the exit code.
    // `traceDescriptor`: where the test build's port backend writes, or -1.
    static int runOnStandardStreams(PortIo& io, const char* lockPath, int traceDescriptor = -1);

    // Why the port could not be taken, from the system's error of ioperm: no port I/O in the
    // kernel (ENOSYS), the kernel's lockdown (`lockdown` is the text of kLockdownFile, e.g.
    // "none [integrity] confidentiality"), a caller without root, or the system's own words.
    static std::string noAccessReason(int error, bool root, const std::string& lockdown);
    // The system's error of the failed attempt to take the port; 0 when it was taken.
    int accessError() const { return accessError_; }

private:
    int serve();
    // Writes one received byte at the floor's pace and answers it; kDone to go on.
    int serveByte(std::uint8_t byte);
    int answer(const void* data, std::size_t size);

    PortIo& io_;
    Clock& clock_;
    HelperChannel& channel_;
    std::int64_t lastWriteMs_ = -1;
    int accessError_ = 0;
};

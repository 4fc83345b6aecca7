#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// One child process of ours, from its start to its reaping. The child's standard input and
// output are one descriptor we pass (or /dev/null); its standard error is ours, or /dev/null
// when asked. Waits are bounded; the object reaps the child when it goes, so no zombie is left.
class Subprocess {
public:
    Subprocess() = default;
    ~Subprocess();
    Subprocess(const Subprocess&) = delete;
    Subprocess& operator=(const Subprocess&) = delete;

    // Starts argv[0], looked up on PATH when it holds no '/'. stdio is the child's standard input
    // and output, -1 for /dev/null. False, with errno, when the program could not be started.
    bool start(const std::vector<std::string>& argv, int stdio = -1, bool quiet = false);
    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // The exit code once the child has ended (128 + the signal when one ended it), without
    // waiting.
    std::optional<int> exitCode();
    // The same, waiting at most timeoutMs for the end.
    std::optional<int> waitFor(int timeoutMs);
    // Gives the child graceMs to end, then asks it to end (SIGTERM), then forces it (SIGKILL), and
    // reaps it. A child that no longer is ours to signal (it runs as root) and does not end is
    // left behind rather than waited for without limit.
    void stop(int graceMs);

private:
    pid_t pid_ = -1;
    std::optional<int> exitCode_;
};

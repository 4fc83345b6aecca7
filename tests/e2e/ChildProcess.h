#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// One program started by the end-to-end tests, in a process group of its own. The group is
// stopped (SIGTERM, then SIGKILL) when the object goes, whatever the test did before, so that no
// display server, simulator or tool outlives its test.
class ChildProcess {
public:
    struct Options {
        std::vector<std::string> arguments; // arguments[0] is the program
        // Set (or, with an empty value, removed) on top of the test's own environment.
        std::vector<std::pair<std::string, std::string>> environment;
        std::filesystem::path workingFolder; // empty: the test's own
        std::filesystem::path outputFile;    // stdout and stderr; empty: /dev/null
    };

    // What a short command printed and how it ended.
    struct Capture {
        int exitCode = -1; // -1: it could not start, was killed or ran over its time
        std::string output;
    };

    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ChildProcess(ChildProcess&& other) noexcept : pid_(std::exchange(other.pid_, -1)) {}
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ~ChildProcess() { stop(); }

    // False with the reason in `error`.
    bool start(const Options& options, std::string& error);
    // True while the program has not ended.
    bool running();
    // SIGTERM to the group, SIGKILL after `grace`; waits for the program. Does nothing when
    // nothing runs.
    void stop(std::chrono::milliseconds grace = std::chrono::milliseconds(3000));
    pid_t pid() const { return pid_; }

    // Runs a command to its end and collects its stdout; stderr goes with it.
    static Capture run(const std::vector<std::string>& arguments,
                       const std::vector<std::pair<std::string, std::string>>& environment = {},
                       std::chrono::milliseconds limit = std::chrono::milliseconds(20000));

private:
    bool spawn(const Options& options, int outputFd, std::string& error);

    pid_t pid_ = -1;
};

#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// A program started by a test, in a process group of its own and with its signals at their
// defaults, whatever the test runner set up for itself. Its standard input is /dev/null; its
// stdout and stderr go to pipes that the test reads, to a file, or to /dev/null. The group is
// stopped (SIGTERM, then SIGKILL) when the object goes, whatever the test did before, so that no
// simulator, display server or tool outlives its test.
class ChildProcess {
public:
    // Set (or, with an empty value, removed) on top of the test's own environment.
    using Environment = std::vector<std::pair<std::string, std::string>>;

    struct Options {
        std::vector<std::string> arguments; // arguments[0] is the program, looked up on PATH
        Environment environment;
        std::filesystem::path workingFolder; // empty: the test's own
        std::filesystem::path outputFile;    // stdout and stderr; empty: /dev/null or the pipes
        bool pipes = false; // stdout and stderr on pipes, for waitForOutput() and output()
    };

    // How a program run to its end ended (-1: it could not start, was killed or ran over its
    // time) and what it printed.
    struct Result {
        int exitCode = -1;
        std::string output;
        std::string errors;
    };

    ChildProcess() = default;
    // Starts `arguments` with stdout and stderr on pipes; started() tells whether it did.
    ChildProcess(const std::vector<std::string>& arguments, const Environment& environment);
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // Stops what runs, then starts anew; false with the reason in `error`.
    bool start(const Options& options, std::string& error);
    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    // True while the program has not ended; once it has, whatever is left in its group is killed.
    bool running();
    void signal(int number) const;
    // SIGTERM to the group, SIGKILL after `grace`; waits for the program. Does nothing when
    // nothing runs.
    void stop(std::chrono::milliseconds grace = std::chrono::milliseconds(3000));

    // Reads stdout (or stderr) until `text` has appeared or `patience` has passed; true when it
    // appeared. Everything read so far stays in output() / errors().
    bool waitForOutput(const std::string& text, std::chrono::milliseconds patience);
    bool waitForErrors(const std::string& text, std::chrono::milliseconds patience);
    // Waits for the end (reading both pipes meanwhile) and gives the exit status; -1 when the
    // program was killed by a signal or did not end within `patience` (it still runs then).
    int waitForExit(std::chrono::milliseconds patience);
    const std::string& output() const { return output_; }
    const std::string& errors() const { return errors_; }

    // Runs a program to its end; one that runs over `patience` is stopped.
    static Result run(const std::vector<std::string>& arguments,
                      const Environment& environment = {},
                      std::chrono::milliseconds patience = std::chrono::seconds(20));

private:
    bool spawn(const Options& options, int outputFd, int errorFd, std::string& error);
    bool spawnWithPipes(const Options& options, std::string& error);
    // Reads what the pipes hold, waiting at most `waitMs` for the first bytes.
    void pump(int waitMs);
    bool waitFor(const std::string& text, const std::string& stream,
                 std::chrono::milliseconds patience);
    // The program has been reaped: the rest of its group goes.
    void ended();
    void closePipes();

    pid_t pid_ = -1;
    int stdout_ = -1;
    int stderr_ = -1;
    std::string output_;
    std::string errors_;
};

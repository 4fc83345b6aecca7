#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// A program started by a test, its stdout and stderr on pipes that the test reads. Signals are
// at their defaults in the program, whatever the test runner set up for itself. The program is
// killed when the object goes, if it still runs.
class RunningProgram {
public:
    using Environment = std::vector<std::pair<std::string, std::string>>;

    // `arguments[0]` is the program; `environment` is set on top of the test's own.
    RunningProgram(const std::vector<std::string>& arguments, const Environment& environment);
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;
    ~RunningProgram();

    bool started() const { return pid_ > 0; }
    void signal(int number) const;

    // Reads stdout (or stderr) until `text` has appeared or `patience` has passed; true when it
    // appeared. Everything read so far stays in output() / errors().
    bool waitForOutput(const std::string& text, std::chrono::milliseconds patience);
    bool waitForErrors(const std::string& text, std::chrono::milliseconds patience);

    // Waits for the end (reading both pipes meanwhile) and gives the exit status; -1 when the
    // program was killed by a signal or did not end within `patience` (it is killed then).
    int waitForExit(std::chrono::milliseconds patience);

    const std::string& output() const { return output_; }
    const std::string& errors() const { return errors_; }

    // Runs a program to its end: exit status, stdout, stderr.
    struct Result {
        int exitCode = -1;
        std::string output;
        std::string errors;
    };
    static Result run(const std::vector<std::string>& arguments, const Environment& environment,
                      std::chrono::milliseconds patience = std::chrono::seconds(10));

private:
    // Reads what the pipes hold, waiting at most `waitMs` for the first bytes.
    void pump(int waitMs);
    bool waitFor(const std::string& text, const std::string& stream,
                 std::chrono::milliseconds patience);

    pid_t pid_ = -1;
    int stdout_ = -1;
    int stderr_ = -1;
    std::string output_;
    std::string errors_;
};

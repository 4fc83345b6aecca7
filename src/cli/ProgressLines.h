#pragma once

#include "operations/ReaderLoop.h"

#include <chrono>
#include <ostream>
#include <string>
#include <vector>

class ReaderSession;

// One progress line per reader on standard error, redrawn in place. Only for a terminal: when
// standard error is anything else (a file, a pipe) nothing is written, so that a log holds the
// results and the messages alone. More readers than the terminal has rows share one line.
class ProgressLines {
public:
    // `terminalFd` is the descriptor behind `err`; disabled unless it is a terminal and `wanted`.
    ProgressLines(std::ostream& err, int terminalFd, bool wanted);
    ~ProgressLines();
    ProgressLines(const ProgressLines&) = delete;
    ProgressLines& operator=(const ProgressLines&) = delete;

    bool enabled() const { return enabled_; }
    // Draws these lines over the ones drawn before, at most every few hundredths of a second;
    // `done` of them belong to readers that are done.
    void show(const std::vector<std::string>& lines, std::size_t done);
    // One line per reader session: its port and what it is doing.
    void showSessions(const std::vector<ReaderSession*>& sessions);
    // Runs the sessions in `loop` with their lines shown, and takes the lines away at the end.
    ReaderLoop::Ending run(ReaderLoop& loop, const std::vector<ReaderSession*>& sessions);
    // Takes the lines away again, before the results are printed.
    void clear();

private:
    std::ostream& err_;
    int fd_;
    bool enabled_;
    std::size_t shown_ = 0;
    std::vector<std::string> last_;
    std::chrono::steady_clock::time_point drawn_{};
};

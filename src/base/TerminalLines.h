#pragma once

#include <chrono>
#include <ostream>
#include <string>
#include <vector>

// Lines redrawn in place on a terminal, such as one progress line per task. Only for a terminal:
// when the stream is anything else (a file, a pipe) nothing is written, so that a log holds no
// cursor movements. More lines than the terminal has rows give way to one line that sums them up.
class TerminalLines {
public:
    // `terminalFd` is the descriptor behind `err`; disabled unless it is a terminal and `wanted`.
    TerminalLines(std::ostream& err, int terminalFd, bool wanted);
    ~TerminalLines();
    TerminalLines(const TerminalLines&) = delete;
    TerminalLines& operator=(const TerminalLines&) = delete;

    bool enabled() const { return enabled_; }
    // Draws these lines over the ones drawn before, at most every few hundredths of a second;
    // `summary` alone where they would not fit.
    void show(const std::vector<std::string>& lines, const std::string& summary);
    // Takes the lines away again.
    void clear();

private:
    std::ostream& err_;
    int fd_;
    bool enabled_;
    std::size_t shown_ = 0;
    std::vector<std::string> last_;
    std::chrono::steady_clock::time_point drawn_{};
};

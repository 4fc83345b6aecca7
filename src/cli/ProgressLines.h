#pragma once

#include "base/TerminalLines.h"
#include "operations/ReaderLoop.h"

#include <ostream>
#include <vector>

class ReaderSession;

// One progress line per reader on standard error while a ReaderLoop serves them: its port and
// what it is doing, redrawn in place. Only for a terminal; see TerminalLines.
class ProgressLines {
public:
    // `terminalFd` is the descriptor behind `err`; disabled unless it is a terminal and `wanted`.
    ProgressLines(std::ostream& err, int terminalFd, bool wanted)
        : lines_(err, terminalFd, wanted) {}

    // Runs the sessions in `loop` with their lines shown, and takes the lines away at the end.
    ReaderLoop::Ending run(ReaderLoop& loop, const std::vector<ReaderSession*>& sessions);

private:
    void show(const std::vector<ReaderSession*>& sessions);

    TerminalLines lines_;
};

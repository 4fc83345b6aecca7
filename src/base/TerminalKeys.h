#pragma once

#include <termios.h>

// The terminal on a descriptor (standard input) set to hand over each key as it is typed, without
// echoing it, for as long as the object lives; the old settings come back when it goes. Ctrl+C
// still interrupts. A reader in the keyboard line answers the keyboard probe by typing the letter
// O, which reaches r550ctl only this way.
class TerminalKeys {
public:
    explicit TerminalKeys(int fd);
    ~TerminalKeys();
    TerminalKeys(const TerminalKeys&) = delete;
    TerminalKeys& operator=(const TerminalKeys&) = delete;

    int descriptor() const { return fd_; }

private:
    int fd_;
    termios saved_{};
    bool active_ = false;
};

#pragma once

#include "cli/Command.h"

#include <chrono>
#include <string>

// r550ctl monitor --port N|PATH [--hex]: opens the port as the window does and prints what the
// reader sends when a card is swiped, one line per burst with its time, codes outside 32..126 as
// {13}; until Ctrl+C (exit 130, the port released) or until the reader goes away (exit 1).
class MonitorCommand final : public Command {
public:
    // A burst ends after the line has been quiet this long: about 19 character times at 9600
    // bit/s, far more than a reader leaves between the bytes of one swipe.
    static constexpr std::chrono::milliseconds kQuietTime{20};

    void define(CLI::App& subcommand) override;
    int run(CommandContext& context) override;

private:
    std::string port_;
    bool hex_ = false;
};

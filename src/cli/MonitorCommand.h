#pragma once

#include "cli/Command.h"

#include <chrono>
#include <string>

// r550ctl monitor --port N|PATH [--hex] [--decode [--show-numbers]]: opens the port as the window
// does and prints what the reader sends when a card is swiped, one line per burst with its time,
// codes outside 32..126 as {13} (with --decode split into its tracks and fields, card numbers
// hidden but for their first six and last four digits unless --show-numbers); until Ctrl+C (exit
// 130, the port released) or until the reader goes away (exit 1).
class MonitorCommand final : public Command {
public:
    // A burst ends after the line has been quiet this long: about 19 character times at 9600
    // bit/s, far more than a reader leaves between the bytes of one swipe.
    static constexpr std::chrono::milliseconds kQuietTime{20};

    enum class Decoding { Off, Hidden, ShowNumbers };

    void define(CLI::App& subcommand) override;
    int run(CommandContext& context) override;

private:
    std::string port_;
    bool hex_ = false;
    bool decode_ = false;
    bool showNumbers_ = false;
};

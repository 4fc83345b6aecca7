#pragma once

#include "cli/Command.h"

#include <string>

// r550ctl detect [--usb] [--keyboard] [--pace reader|window]: the window's probe on COM1..COM9 at
// the same time, plus the USB serial adapters (--usb) and the keyboard line (--keyboard); prints
// each reader that answered, and for an adapter that no port number leads to, the line that maps
// it. Exit status 1 when no reader answered.
class DetectCommand final : public Command {
public:
    void define(CLI::App& subcommand) override;
    int run(CommandContext& context) override;

private:
    bool usb_ = false;
    bool keyboard_ = false;
    std::string pace_ = "reader";
};

#pragma once

#include "cli/Command.h"

#include <string>

// r550ctl new FILE [--force]: writes a settings file with the factory values, the same 3060
// bytes the window writes to Default.cfg at its start (operating_mode and com_port 0: keyboard
// wedge, no port). An existing file is replaced only with --force.
class NewCommand final : public Command {
public:
    void define(CLI::App& subcommand) override;
    int run(CommandContext& context) override;

private:
    std::string file_;
    bool force_ = false;
};

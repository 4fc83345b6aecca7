#pragma once

#include "cli/Command.h"

#include <string>
#include <vector>

// r550ctl set FILE name=value...: changes named settings of a settings file. Every assignment is
// checked against the table first, and the file must be an existing one of exactly 3060 bytes;
// anything wrong is named (every bad assignment, not just the first), exits 2 and leaves the file
// untouched. Then all are set, in the order given, and the file is written atomically.
class SetCommand final : public Command {
public:
    void define(CLI::App& subcommand) override;
    int run(CommandContext& context) override;

private:
    std::string file_;
    std::vector<std::string> assignments_;
};

#pragma once

#include "cli/Command.h"

#include <string>

// r550ctl show FILE: every named setting of a settings file and its value, one "name  value"
// line each in the table's order, or one JSON object each ({"name", "value"}). The values are the
// text forms that `set` takes. A file that is not 3060 bytes long is read as the window's Load
// reads it, with a warning.
class ShowCommand final : public Command {
public:
    void define(CLI::App& subcommand) override;
    int run(CommandContext& context) override;

private:
    std::string file_;
};

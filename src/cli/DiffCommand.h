#pragma once

#include "cli/Command.h"

#include <string>

// r550ctl diff A B: the named settings whose values differ between two settings files, one
// "name: A-value -> B-value" line each, or one JSON object each ({"name", "a", "b"}). Exit 1 when
// any differ, 0 when none do. Files that are not 3060 bytes long are read as the window's Load
// reads them, with a warning.
class DiffCommand final : public Command {
public:
    void define(CLI::App& subcommand) override;
    int run(CommandContext& context) override;

private:
    std::string first_;
    std::string second_;
};

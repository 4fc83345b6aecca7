#pragma once

#include "cli/Command.h"

// r550ctl names: every named setting and the values it takes, one "name  values" line each in
// the table's order, or one JSON object each ({"name", "kind", "values", "caption", "meaning"}).
// The bash completion takes the names for `set` from it, so that they are always this program's.
class NamesCommand final : public Command {
public:
    void define(CLI::App& subcommand) override;
    int run(CommandContext& context) override;
};

#pragma once

#include "cli/CommandContext.h"

#include <CLI/CLI.hpp>

// One subcommand of r550ctl. define() gives it its options (bound to members of the command);
// run() does its work once the whole command line has been read and gives the exit code. A
// command prints its results and messages through the context and throws nothing.
class Command {
public:
    virtual ~Command() = default;
    virtual void define(CLI::App& subcommand) = 0;
    virtual int run(CommandContext& context) = 0;
};

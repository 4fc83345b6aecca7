#pragma once

#include "cli/CommandContext.h"

// The r550ctl command line: the common options, every subcommand of CommandTable with the options
// it lists, and the mapping of every way of reading it to the program's exit codes (a command
// line that cannot be used is a usage error, 2, told as a sentence; --help and --version are a
// success). The only place the parser is seen.
class CommandLine {
public:
    explicit CommandLine(CommandContext& context) : context_(context) {}
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    // Reads the command line and runs the subcommand it names; gives the exit code.
    int run(int argc, const char* const* argv);

private:
    CommandContext& context_;
};

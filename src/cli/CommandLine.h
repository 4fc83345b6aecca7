#pragma once

#include "cli/Command.h"
#include "cli/CommandContext.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

// The r550ctl command line: the common options, every subcommand from one table, and the
// mapping of every way of reading it to the program's exit codes (a command line that cannot be
// used is a usage error, 2, told as a sentence; --help and --version are a success).
class CommandLine {
public:
    explicit CommandLine(CommandContext& context);
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    // Reads the command line and runs the subcommand it names; gives the exit code.
    int run(int argc, const char* const* argv);

private:
    struct Entry {
        CLI::App* subcommand;
        std::unique_ptr<Command> command;
    };

    // A command word that names no command: the message, or nothing.
    bool refuseUnknownCommand(int argc, const char* const* argv);
    int parseFailed(const CLI::ParseError& problem);
    // For an option that was not expected: " Did you mean '--all' for '--al'?", or nothing.
    std::string optionHint(const CLI::ParseError& problem) const;

    CommandContext& context_;
    CLI::App app_;
    std::vector<Entry> entries_;
};

#pragma once

#include "cli/Command.h"
#include "cli/CommandContext.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

// The r550ctl command line: the common options, the subcommands that the command groups add,
// and the mapping of every way of reading it to the program's exit codes (a command line CLI11
// refuses is a usage error, 2; --help is a success).
class CommandLine {
public:
    explicit CommandLine(CommandContext& context);
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    // Adds the subcommand `name`; the command defines its own options on it.
    void add(const std::string& name, const std::string& description,
             std::unique_ptr<Command> command);

    // Reads the command line and runs the subcommand it names; gives the exit code.
    int run(int argc, const char* const* argv);

private:
    struct Entry {
        CLI::App* subcommand;
        std::unique_ptr<Command> command;
    };

    CommandContext& context_;
    CLI::App app_;
    std::vector<Entry> entries_;
};

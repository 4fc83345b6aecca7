#pragma once

#include "cli/CommandContext.h"
#include "cli/CommandOption.h"

#include <memory>
#include <vector>

// One subcommand of r550ctl. options() lists its options and arguments as data, bound to members
// of the command; run() does its work once the whole command line has been read and gives the
// exit code. A command prints its results and messages through the context and throws nothing.
class Command {
public:
    virtual ~Command() = default;
    virtual std::vector<CommandOption> options() = 0;
    virtual int run(CommandContext& context) = 0;
};

// The subcommands, each made in its own source file; CommandTable lists them.
std::unique_ptr<Command> makePortsCommand();
std::unique_ptr<Command> makeDetectCommand();
std::unique_ptr<Command> makeVersionCommand();
std::unique_ptr<Command> makeProgramCommand();
std::unique_ptr<Command> makeReadCommand();
std::unique_ptr<Command> makeVerifyCommand();
std::unique_ptr<Command> makeResetCommand();
std::unique_ptr<Command> makeMonitorCommand();
std::unique_ptr<Command> makeShowCommand();
std::unique_ptr<Command> makeDiffCommand();
std::unique_ptr<Command> makeSetCommand();
std::unique_ptr<Command> makeNewCommand();
std::unique_ptr<Command> makeCheckCommand();
std::unique_ptr<Command> makeNamesCommand();
std::unique_ptr<Command> makeApplyCommand();

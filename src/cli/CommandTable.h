#pragma once

#include "cli/Command.h"
#include "cli/CommandOption.h"

#include <memory>
#include <span>

// Every subcommand of r550ctl, in the order the help lists them, and the options that every one
// of them takes (--json, --quiet) besides its own. The parser and the completion's word lists
// are both made from here.
struct CommandTable {
    struct Entry {
        const char* name;
        const char* description;
        bool takesPorts; // its help tells where COMn is looked for
        std::unique_ptr<Command> (*make)();
    };

    static std::span<const Entry> entries();
    static const Entry* find(const std::string& name);
    // --json and --quiet, bound to `json` and `quiet`.
    static std::vector<CommandOption> commonOptions(bool& json, bool& quiet);
};

// The settings-file commands: show, diff, set, new, and the list of names they use.

#include "cli/CommandGroups.h"
#include "cli/DiffCommand.h"
#include "cli/NamesCommand.h"
#include "cli/NewCommand.h"
#include "cli/SetCommand.h"
#include "cli/ShowCommand.h"

#include <memory>

void addFileCommands(CommandLine& commandLine) {
    commandLine.add("show", "Show every named setting of a settings file and its value",
                    std::make_unique<ShowCommand>());
    commandLine.add("diff",
                    "Show the named settings that differ between two settings files; exit 1 when "
                    "any do",
                    std::make_unique<DiffCommand>());
    commandLine.add("set",
                    "Change named settings of a settings file (name=value...), all or none, "
                    "written atomically",
                    std::make_unique<SetCommand>());
    commandLine.add("new", "Write a settings file with the factory values",
                    std::make_unique<NewCommand>());
    commandLine.add("names", "List the named settings and the values each takes",
                    std::make_unique<NamesCommand>());
}

// r550ctl: R550 card readers from the command line, without the window.

#include "cli/CommandContext.h"
#include "cli/CommandGroups.h"
#include "cli/CommandLine.h"

#include <iostream>

int main(int argc, char** argv) {
    CommandContext context = CommandContext::fromEnvironment(std::cout, std::cerr);
    CommandLine commandLine(context);
    addAllCommands(commandLine);
    return commandLine.run(argc, argv);
}

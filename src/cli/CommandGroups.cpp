#include "cli/CommandGroups.h"

void addAllCommands(CommandLine& commandLine) {
    addPortCommands(commandLine);
    addMonitorCommands(commandLine);
    addFileCommands(commandLine);
}

#include "cli/CommandGroups.h"

void addAllCommands(CommandLine& commandLine) {
    addPortCommands(commandLine);
    addDeviceCommands(commandLine);
    addMonitorCommands(commandLine);
    addFileCommands(commandLine);
}

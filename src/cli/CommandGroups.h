#pragma once

#include "cli/CommandLine.h"

// Each group of subcommands adds its own to the command line, from its own source file; a new
// group is one more function here and one more call in addAllCommands.
void addPortCommands(CommandLine& commandLine);    // ports
void addMonitorCommands(CommandLine& commandLine); // monitor
void addFileCommands(CommandLine& commandLine);    // show, diff, set, new, names
void addDeviceCommands(CommandLine& commandLine);  // detect, version, program, read, verify, reset

void addAllCommands(CommandLine& commandLine);

#pragma once

#include "cli/Command.h"

#include <string>
#include <vector>

// r550ctl ports [--port N|PATH]...: COM1..COM9 and the ports given, each with the device it
// leads to, whether that exists, whether this user may open it and whether another program holds
// it; then the USB serial adapters no port number leads to, with the line that maps each.
class PortsCommand final : public Command {
public:
    void define(CLI::App& subcommand) override;
    int run(CommandContext& context) override;

private:
    std::vector<std::string> ports_;
};

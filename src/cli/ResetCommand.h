#pragma once

#include "cli/DeviceCommand.h"

// r550ctl reset (--port N|PATH... | --all | --keyboard): the window's factory reset, on each
// reader's serial port or through the keyboard controller.
class ResetCommand final : public DeviceCommand {
public:
    ResetCommand() : DeviceCommand(true) {}

protected:
    void defineOwn(CLI::App& subcommand) override;
    void begin(ReaderSession& session) override;
};

#pragma once

#include "cli/DeviceCommand.h"

// r550ctl version (--port N|PATH... | --all): each reader's firmware version text, with the
// window's version query.
class VersionCommand final : public DeviceCommand {
public:
    VersionCommand() : DeviceCommand(false) {}

protected:
    void defineOwn(CLI::App& subcommand) override;
    void begin(ReaderSession& session) override;
};

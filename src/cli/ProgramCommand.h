#pragma once

#include "cli/DeviceCommand.h"
#include "settings/SettingsImage.h"

#include <string>

// r550ctl program FILE (--port N|PATH... | --all | --keyboard) [--verify]: the window's
// "Programming all settings" with FILE's block: six write blocks to each reader on a serial port,
// or the 21-entry batch through the keyboard controller. --verify reads each reader back
// afterwards and fails it when a setting differs.
class ProgramCommand final : public DeviceCommand {
public:
    ProgramCommand() : DeviceCommand(true) {}

protected:
    void defineOwn(CLI::App& subcommand) override;
    std::optional<int> prepare(CommandContext& context) override;
    void begin(ReaderSession& session) override;

private:
    void verify(ReaderSession& session);

    std::string file_;
    bool verify_ = false;
    SettingsImage image_;
};

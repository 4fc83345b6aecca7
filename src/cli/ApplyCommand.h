#pragma once

#include "cli/DeviceCommand.h"
#include "cli/ReaderApply.h"
#include "settings/SettingsImage.h"

#include <optional>
#include <string>

// r550ctl apply FILE (--port N|PATH... | --all [--usb]) [--check] [--diff]: brings each reader
// to FILE's settings, writing only to the readers that hold something else (ReaderApply), and
// tells for each whether it was unchanged, changed, would change (--check), still differs or
// failed. --watch (--port N|PATH... | --usb) keeps doing it for every reader plugged in
// (ApplyWatch). A reader in the keyboard line cannot be read back, so --keyboard is refused.
class ApplyCommand final : public DeviceCommand {
public:
    ApplyCommand() : DeviceCommand(false) {}

protected:
    void defineOwn(CLI::App& subcommand) override;
    std::optional<int> runOwnWay(CommandContext& context) override;
    std::optional<int> prepare(CommandContext& context) override;
    void begin(ReaderSession& session) override;
    int conclude(CommandContext& context, const std::vector<ReaderSession*>& sessions) override;

private:
    bool loadFile(CommandContext& context);
    int watch(CommandContext& context);

    std::string file_;
    bool check_ = false;
    bool diff_ = false;
    bool watch_ = false;
    bool keyboard_ = false;
    bool anyLength_ = false;
    SettingsImage image_;
    std::optional<ReaderApply> apply_;
};

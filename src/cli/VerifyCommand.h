#pragma once

#include "cli/DeviceCommand.h"
#include "settings/SettingsImage.h"

#include <string>

// r550ctl verify FILE (--port N|PATH... | --all): reads each reader's main settings back (the
// three read blocks of the window's Load Main Setting) over FILE's block and lists, by name, every
// setting the reader holds differently. Exit status 1 when any reader differs.
class VerifyCommand final : public DeviceCommand {
public:
    VerifyCommand() : DeviceCommand(false) {}

    // The reader's result from FILE's block and the read-back laid over it: ok, or differs with
    // one line and one JSON entry per setting. Only the settings the read-back covers can
    // differ, since the rest of the block is FILE's own.
    static void recordDifferences(ReaderSession& session, const SettingsImage& file,
                                  const SettingsImage& reader);

protected:
    void defineOwn(CLI::App& subcommand) override;
    std::optional<int> prepare(CommandContext& context) override;
    void begin(ReaderSession& session) override;

private:
    std::string file_;
    SettingsImage image_;
};

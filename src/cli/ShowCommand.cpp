#include "cli/Command.h"
#include "cli/ExitCode.h"
#include "cli/SettingRecord.h"
#include "settings/SettingTable.h"
#include "settings/SettingsFileContents.h"

#include <nlohmann/json.hpp>

namespace {

// r550ctl show FILE: every named setting of a settings file as one name=value line, in the
// table's order and quoted as a shell (and xargs) reads it back, so that the lines go straight
// back into `set`; or one JSON object each with its typed value. A file that is not 3060 bytes
// long is read as the window's Load reads it, with a warning.
class ShowCommand final : public Command {
public:
    std::vector<CommandOption> options() override {
        return {{"FILE", "The settings file", &file_, "", true}};
    }

    int run(CommandContext& context) override {
        SettingsFileContents file;
        if (!context.loadSettingsFile(file, file_, CommandContext::Length::Noted)) {
            return ExitCode::kUsage;
        }
        for (const NamedSetting& setting : SettingTable::all()) {
            if (context.json) {
                context.printJson(SettingRecord::of(setting, file.image()));
            } else {
                context.printLine(SettingRecord::assignment(setting, file.image()));
            }
        }
        return ExitCode::kSuccess;
    }

private:
    std::string file_;
};

} // namespace

std::unique_ptr<Command> makeShowCommand() {
    return std::make_unique<ShowCommand>();
}

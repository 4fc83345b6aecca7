#include "cli/Command.h"
#include "cli/ExitCode.h"
#include "cli/SettingRecord.h"
#include "settings/SettingCheck.h"
#include "settings/SettingsFileContents.h"

#include <nlohmann/json.hpp>

namespace {

// r550ctl check FILE...: whether each file is a settings block that may be programmed as it
// stands: 3060 bytes long, and every named setting holding one of its values. Each problem is
// one line (or the file's JSON object lists them); exit 0 when every file is sound, 2 otherwise.
class CheckCommand final : public Command {
public:
    std::vector<CommandOption> options() override {
        return {{"FILE", "The settings files to check", &files_, "", true}};
    }

    int run(CommandContext& context) override {
        bool sound = true;
        for (const std::string& path : files_) {
            sound = checkFile(context, path) && sound;
        }
        return sound ? ExitCode::kSuccess : ExitCode::kUsage;
    }

private:
    static bool checkFile(CommandContext& context, const std::string& path) {
        SettingsFileContents file;
        if (!file.load(path)) {
            context.error(file.reason());
            return false;
        }
        const std::vector<InvalidSetting> invalid = invalidSettings(file.image());
        const bool sound = file.wholeBlock() && invalid.empty();
        if (context.json) {
            nlohmann::ordered_json problems = nlohmann::ordered_json::array();
            for (const InvalidSetting& setting : invalid) {
                problems.push_back(SettingRecord::invalid(setting));
            }
            context.printJson(
                {{"file", path}, {"size", file.size()}, {"valid", sound}, {"invalid", problems}});
            return sound;
        }
        if (!file.wholeBlock()) {
            context.printLine(file.sizeText());
        }
        for (const InvalidSetting& setting : invalid) {
            context.printLine(path + ": " + SettingRecord::invalidText(setting));
        }
        if (sound) {
            context.printLine(path + ": ok");
        }
        return sound;
    }

    std::vector<std::string> files_;
};

} // namespace

std::unique_ptr<Command> makeCheckCommand() {
    return std::make_unique<CheckCommand>();
}

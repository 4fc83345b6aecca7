#include "cli/Command.h"
#include "cli/ExitCode.h"
#include "cli/SettingRecord.h"
#include "settings/SettingDifferences.h"
#include "settings/SettingsFileContents.h"

#include <nlohmann/json.hpp>

namespace {

// r550ctl diff A B: the named settings that differ between two settings files, "name: a -> b",
// or one JSON object that names both files and lists the differences, both values typed (an
// empty list when there are none); exit 1 when any differ.
class DiffCommand final : public Command {
public:
    std::vector<CommandOption> options() override {
        return {{"A", "The first settings file", &first_, "", true},
                {"B", "The second settings file", &second_, "", true}};
    }

    int run(CommandContext& context) override {
        SettingsFileContents first;
        SettingsFileContents second;
        // Both are read before either fails, so that one run names every file that cannot be
        // used.
        const bool firstRead =
            context.loadSettingsFile(first, first_, CommandContext::Length::Noted);
        const bool secondRead =
            context.loadSettingsFile(second, second_, CommandContext::Length::Noted);
        if (!firstRead || !secondRead) {
            return ExitCode::kUsage;
        }
        if (context.json) {
            context.printJson(
                {{"first", first_},
                 {"second", second_},
                 {"differences",
                  SettingRecord::differences(first.image(), "first", second.image(), "second")}});
        }
        const std::vector<SettingDifference> differences =
            settingDifferences(first.image(), second.image());
        for (const SettingDifference& difference : differences) {
            if (!context.json) {
                context.printLine(SettingRecord::differenceLine(*difference.setting, first.image(),
                                                                second.image()));
            }
        }
        return differences.empty() ? ExitCode::kSuccess : ExitCode::kDiffers;
    }

private:
    std::string first_;
    std::string second_;
};

} // namespace

std::unique_ptr<Command> makeDiffCommand() {
    return std::make_unique<DiffCommand>();
}

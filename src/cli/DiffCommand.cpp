#include "cli/Command.h"
#include "cli/ExitCode.h"
#include "cli/SettingRecord.h"
#include "settings/SettingDifferences.h"
#include "settings/SettingsFileContents.h"

namespace {

// r550ctl diff A B: the named settings that differ between two settings files, "name: a -> b",
// or one JSON object that names both files and lists the differences, both values typed (an
// empty list when there are none); exit 1 when any differ.
class DiffCommand final : public Command {
public:
    void define(CLI::App& subcommand) override {
        subcommand.add_option("A", first_, "The first settings file")->required();
        subcommand.add_option("B", second_, "The second settings file")->required();
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

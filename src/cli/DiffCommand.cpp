#include "cli/DiffCommand.h"

#include "cli/ExitCode.h"
#include "cli/ShowCommand.h"
#include "settings/SettingDifferences.h"
#include "settings/SettingsFileContents.h"

void DiffCommand::define(CLI::App& subcommand) {
    subcommand.add_option("A", first_, "The first settings file")->required();
    subcommand.add_option("B", second_, "The second settings file")->required();
}

int DiffCommand::run(CommandContext& context) {
    SettingsFileContents first;
    SettingsFileContents second;
    // Both are read before either fails, so that one run names every file that cannot be used.
    const bool firstRead = ShowCommand::loadAnyLength(first, first_, context);
    const bool secondRead = ShowCommand::loadAnyLength(second, second_, context);
    if (!firstRead || !secondRead) {
        return ExitCode::kUsage;
    }
    const std::vector<SettingDifference> differences =
        settingDifferences(first.image(), second.image());
    for (const SettingDifference& difference : differences) {
        if (context.json) {
            nlohmann::ordered_json object;
            object["name"] = difference.setting->name;
            object["a"] = difference.first;
            object["b"] = difference.second;
            context.printJson(object);
        } else {
            context.printLine(std::string(difference.setting->name) + ": " + difference.first +
                              " -> " + difference.second);
        }
    }
    return differences.empty() ? ExitCode::kSuccess : ExitCode::kFailed;
}

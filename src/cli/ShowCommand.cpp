#include "cli/ShowCommand.h"

#include "cli/ExitCode.h"
#include "cli/LoadedSettingsFile.h"
#include "settings/SettingTable.h"
#include "settings/SettingText.h"

#include <algorithm>

void ShowCommand::define(CLI::App& subcommand) {
    subcommand.add_option("FILE", file_, "The settings file")->required();
}

int ShowCommand::run(CommandContext& context) {
    LoadedSettingsFile file;
    if (!file.loadAnyLength(file_, context)) {
        return ExitCode::kUsage;
    }
    std::size_t width = 0;
    for (const NamedSetting& setting : SettingTable::all()) {
        width = std::max(width, setting.name.size());
    }
    for (const NamedSetting& setting : SettingTable::all()) {
        const std::string value = settingText(setting, file.image());
        if (context.json) {
            nlohmann::ordered_json object;
            object["name"] = setting.name;
            object["value"] = value;
            context.printJson(object);
        } else {
            // An empty code list leaves the name alone on its line, without trailing blanks.
            const std::string name(setting.name);
            context.printLine(
                value.empty() ? name : name + std::string(width - name.size() + 2, ' ') + value);
        }
    }
    return ExitCode::kSuccess;
}

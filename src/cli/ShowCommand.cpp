#include "cli/ShowCommand.h"

#include "cli/ExitCode.h"
#include "settings/SettingTable.h"
#include "settings/SettingText.h"
#include "settings/SettingsFileContents.h"

#include <algorithm>

void ShowCommand::define(CLI::App& subcommand) {
    subcommand.add_option("FILE", file_, "The settings file")->required();
}

bool ShowCommand::loadAnyLength(SettingsFileContents& file, const std::string& path,
                                CommandContext& context) {
    if (!file.load(path)) {
        context.error(file.reason());
        return false;
    }
    if (!file.wholeBlock()) {
        context.note(file.sizeWarning());
    }
    return true;
}

int ShowCommand::run(CommandContext& context) {
    SettingsFileContents file;
    if (!loadAnyLength(file, file_, context)) {
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

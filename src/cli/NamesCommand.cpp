#include "cli/NamesCommand.h"

#include "cli/ExitCode.h"
#include "settings/SettingTable.h"
#include "settings/SettingText.h"

#include <algorithm>

namespace {

std::string_view kindWord(SettingKind kind) {
    switch (kind) {
    case SettingKind::Flag:
        return "flag";
    case SettingKind::Byte:
        return "byte";
    case SettingKind::Choice:
        return "choice";
    case SettingKind::CodeList:
        return "code list";
    }
    return "";
}

} // namespace

void NamesCommand::define(CLI::App& /*subcommand*/) {}

int NamesCommand::run(CommandContext& context) {
    std::size_t width = 0;
    for (const NamedSetting& setting : SettingTable::all()) {
        width = std::max(width, setting.name.size());
    }
    for (const NamedSetting& setting : SettingTable::all()) {
        if (context.json) {
            nlohmann::ordered_json object;
            object["name"] = setting.name;
            object["kind"] = kindWord(setting.kind);
            object["values"] = settingValues(setting);
            object["caption"] = setting.caption;
            object["meaning"] = setting.meaning;
            context.printJson(object);
        } else {
            const std::string name(setting.name);
            context.printLine(name + std::string(width - name.size() + 2, ' ') +
                              settingValues(setting));
        }
    }
    return ExitCode::kSuccess;
}

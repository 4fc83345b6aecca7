#include "cli/Command.h"
#include "cli/ExitCode.h"
#include "cli/SettingRecord.h"
#include "settings/SettingTable.h"
#include "settings/SettingText.h"

#include <nlohmann/json.hpp>

namespace {

// r550ctl names: every named setting and the values it takes; in JSON with its kind, its range
// (min, max) or its choices, its caption and its meaning, every key in every object.
class NamesCommand final : public Command {
public:
    std::vector<CommandOption> options() override { return {}; }

    int run(CommandContext& context) override {
        std::vector<std::vector<std::string>> rows;
        for (const NamedSetting& setting : SettingTable::all()) {
            if (context.json) {
                context.printJson(record(setting));
            } else {
                rows.push_back({std::string(setting.name), settingValues(setting)});
            }
        }
        context.printRows(rows);
        return ExitCode::kSuccess;
    }

private:
    static nlohmann::ordered_json record(const NamedSetting& setting) {
        const bool byte = setting.kind == SettingKind::Byte;
        // A list is never null: a setting without choices has none.
        nlohmann::ordered_json choices = nlohmann::ordered_json::array();
        if (setting.kind == SettingKind::Choice) {
            for (const SettingChoice& choice : setting.choices) {
                choices.push_back(choice.token);
            }
        }
        return {{"name", setting.name},
                {"kind", SettingRecord::kindWord(setting.kind)},
                {"min", byte ? nlohmann::ordered_json(setting.low) : nullptr},
                {"max", byte ? nlohmann::ordered_json(setting.high) : nullptr},
                {"choices", choices},
                {"values", settingValues(setting)},
                {"caption", setting.caption},
                {"meaning", setting.meaning}};
    }
};

} // namespace

std::unique_ptr<Command> makeNamesCommand() {
    return std::make_unique<NamesCommand>();
}

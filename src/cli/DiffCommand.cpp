#include "cli/Command.h"
#include "cli/ExitCode.h"
#include "cli/SettingRecord.h"
#include "settings/SettingsFileContents.h"

namespace {

// r550ctl diff A B: the named settings that differ between two settings files, "name: a -> b",
// or one JSON object each with both values typed; exit 1 when any differ.
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
        const nlohmann::ordered_json differences =
            SettingRecord::differences(first.image(), "a", second.image(), "b");
        for (const nlohmann::ordered_json& difference : differences) {
            if (context.json) {
                context.printJson(difference);
            } else {
                context.printLine(difference["name"].get<std::string>() + ": " +
                                  difference["a_text"].get<std::string>() + " -> " +
                                  difference["b_text"].get<std::string>());
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

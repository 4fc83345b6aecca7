#include "cli/Command.h"
#include "cli/ExitCode.h"
#include "settings/SettingAssignment.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsFileContents.h"

namespace {

// r550ctl set FILE name=value...: changes named settings of a settings file. Every assignment is
// checked against the table first, and the file must be an existing one of exactly 3060 bytes;
// anything wrong is named (every bad assignment, not just the first), exits 2 and leaves the file
// untouched. Then all are set, in the order given, and the file is written atomically.
class SetCommand final : public Command {
public:
    std::vector<CommandOption> options() override {
        return {{"FILE", "The settings file, which must exist", &file_, "", true},
                {"ASSIGNMENT",
                 "name=value, such as main.baud_rate=19200 or track2.prefix=T2; r550ctl names "
                 "lists the names",
                 &assignments_, "", true}};
    }

    int run(CommandContext& context) override;

private:
    // The assignments that can be used; false when any cannot, each named.
    bool check(CommandContext& context, std::vector<SettingAssignment>& checked) const;

    std::string file_;
    std::vector<std::string> assignments_;
};

bool SetCommand::check(CommandContext& context, std::vector<SettingAssignment>& checked) const {
    bool usable = true;
    for (const std::string& text : assignments_) {
        SettingAssignment assignment;
        std::string error;
        const SettingStatus status = assignment.parse(text, error);
        if (status == SettingStatus::Ok) {
            checked.push_back(assignment);
            continue;
        }
        if (status == SettingStatus::UnknownName) {
            error += " (r550ctl names lists every setting)";
        }
        context.error(error);
        usable = false;
    }
    return usable;
}

int SetCommand::run(CommandContext& context) {
    std::vector<SettingAssignment> checked;
    const bool usable = check(context, checked);
    SettingsFileContents file;
    if (!file.load(file_)) {
        context.error(file.reason() +
                      (file.missing() ? "; r550ctl new " + file_ + " makes one" : ""));
        return ExitCode::kUsage;
    }
    if (!file.wholeBlock()) {
        context.error(file.sizeText() + "; not a settings file that set may change, left as it is");
        return ExitCode::kUsage;
    }
    if (!usable) {
        context.error(file_ + ": nothing set, the file is as it was");
        return ExitCode::kUsage;
    }
    for (const SettingAssignment& assignment : checked) {
        std::string error;
        if (assignment.apply(file.image(), error) != SettingStatus::Ok) {
            context.error(error);
            return ExitCode::kUsage;
        }
    }
    SettingsFileReport report;
    if (writeSettingsFile(file.image(), file_, report) != 0) {
        context.error(report.reason + "; the file is as it was");
        return ExitCode::kUsage;
    }
    return ExitCode::kSuccess;
}

} // namespace

std::unique_ptr<Command> makeSetCommand() {
    return std::make_unique<SetCommand>();
}

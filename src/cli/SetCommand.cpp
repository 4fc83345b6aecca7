#include "cli/SetCommand.h"

#include "cli/ExitCode.h"
#include "settings/SettingAssignment.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsFileContents.h"

void SetCommand::define(CLI::App& subcommand) {
    subcommand.add_option("FILE", file_, "The settings file, which must exist")->required();
    subcommand
        .add_option("ASSIGNMENT", assignments_,
                    "name=value, such as main.baud_rate=19200 or track2.prefix=T2; r550ctl names "
                    "lists the names")
        ->required();
}

int SetCommand::run(CommandContext& context) {
    std::vector<SettingAssignment> checked;
    bool refused = false;
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
        refused = true;
    }

    SettingsFileContents file;
    if (!file.load(file_)) {
        context.error(file.reason() +
                      (file.missing() ? "; r550ctl new " + file_ + " makes one" : ""));
        return ExitCode::kUsage;
    }
    if (!file.wholeBlock()) {
        context.error(file_ + ": " + std::to_string(file.size()) + " bytes, not " +
                      std::to_string(SettingsImage::kSize) +
                      "; not a settings file that set may change, left as it is");
        return ExitCode::kUsage;
    }
    if (refused) {
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

#include "cli/NewCommand.h"

#include "cli/ExitCode.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingsFile.h"

#include <filesystem>
#include <system_error>

void NewCommand::define(CLI::App& subcommand) {
    subcommand.add_option("FILE", file_, "The settings file to write")->required();
    subcommand.add_flag("-f,--force", force_, "Replace the file if it exists");
}

int NewCommand::run(CommandContext& context) {
    std::error_code error;
    // A link, even one to nothing, counts as there: the write would replace what it leads to.
    const bool exists = std::filesystem::exists(std::filesystem::symlink_status(file_, error));
    if (exists && !force_) {
        context.error(file_ + ": exists; --force replaces it");
        return ExitCode::kUsage;
    }
    SettingsFileReport report;
    if (writeSettingsFile(factoryBlock(), file_, report) != 0) {
        context.error(report.reason);
        return ExitCode::kUsage;
    }
    return ExitCode::kSuccess;
}

#include "cli/Command.h"
#include "cli/ExitCode.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingsFile.h"

namespace {

// r550ctl new FILE [--force]: writes a settings file with the factory values, the same 3060
// bytes the window writes to Default.cfg at its start (operating_mode and com_port 0: keyboard
// wedge, no port); "-" writes them to standard output. An existing file is replaced only with
// --force, and only a settings file is replaced.
class NewCommand final : public Command {
public:
    std::vector<CommandOption> options() override {
        return {{"FILE", "The settings file to write (- for standard output)", &file_, "", true},
                {"-f,--force", "Replace the file if it exists", &force_}};
    }

    int run(CommandContext& context) override {
        const SettingsImage block = factoryBlock();
        if (file_ == "-") {
            context.printBlock(block);
            return ExitCode::kSuccess;
        }
        if (!context.outputAllowed(file_, force_)) {
            return ExitCode::kUsage;
        }
        SettingsFileReport report;
        if (writeSettingsFile(block, file_, report) != 0) {
            context.error(report.reason);
            return ExitCode::kUsage;
        }
        return ExitCode::kSuccess;
    }

private:
    std::string file_;
    bool force_ = false;
};

} // namespace

std::unique_ptr<Command> makeNewCommand() {
    return std::make_unique<NewCommand>();
}

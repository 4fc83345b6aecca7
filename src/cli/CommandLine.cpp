#include "cli/CommandLine.h"

#include "cli/ExitCode.h"

#include <utility>

namespace {

constexpr const char* kFooter =
    "Exit status: 0 success; 1 a device command failed or a difference was found; 2 usage or "
    "file error; 130 interrupted.\n"
    "Ports: COMn is the first of ~/.config/r550tool/ports/comN, $WINEPREFIX/dosdevices/comN "
    "(~/.wine/dosdevices/comN) and /dev/ttyS<n-1>; R550_PORTS_DIR=DIR makes it DIR/comN.\n"
    "See r550ctl(1).";

} // namespace

CommandLine::CommandLine(CommandContext& context)
    : context_(context),
      app_("Configures R550 card readers from the command line and from scripts.", "r550ctl") {
    app_.require_subcommand(1);
    // The common options may also follow the subcommand: r550ctl ports --json.
    app_.fallthrough();
    app_.footer(kFooter);
    app_.add_flag("--json", context_.json, "Print one JSON object per line instead of text");
    app_.add_flag("-q,--quiet", context_.quiet, "No notes on stderr; errors still show");
}

void CommandLine::add(const std::string& name, const std::string& description,
                      std::unique_ptr<Command> command) {
    CLI::App* subcommand = app_.add_subcommand(name, description);
    command->define(*subcommand);
    entries_.push_back({subcommand, std::move(command)});
}

int CommandLine::run(int argc, const char* const* argv) {
    // CLI11 reports a command line it cannot take, and --help, by exceptions; they end here.
    try {
        app_.parse(argc, argv);
    } catch (const CLI::ParseError& problem) {
        const int cliExit = app_.exit(problem, context_.out(), context_.err());
        return cliExit == 0 ? ExitCode::kSuccess : ExitCode::kUsage;
    }
    for (Entry& entry : entries_) {
        if (entry.subcommand->parsed()) {
            return entry.command->run(context_);
        }
    }
    return ExitCode::kUsage;
}

#include "cli/CommandLine.h"

#include "R550BuildId.h"
#include "base/NearestWords.h"
#include "cli/CommandTable.h"
#include "cli/ExitCode.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <memory>
#include <sstream>
#include <type_traits>
#include <utility>

#ifndef R550_VERSION
#define R550_VERSION "unknown"
#endif

namespace {

constexpr const char* kExitFooter =
    "Exit status: 0 success; 1 settings differ; 2 usage or bad input, nothing done; 3 a reader "
    "failed, could not be reached, or none answered; 130 interrupted. See r550ctl(1).";

constexpr const char* kPortsFooter =
    "\nPorts: COMn is the first of ~/.config/r550tool/ports/comN, $WINEPREFIX/dosdevices/comN "
    "(~/.wine/dosdevices/comN) and /dev/ttyS<n-1>; R550_PORTS_DIR=DIR makes it DIR/comN.";

// "r550ctl 1.0.0 (0f9231e)": the version, the commit built from, and whether the tree had changes
// against it, so that two different builds never print the same line.
std::string versionLine() {
    const std::string commit = R550_BUILD_COMMIT;
    const std::string modified = R550_BUILD_MODIFIED != 0 ? ", modified" : "";
    return std::string("r550ctl ") + R550_VERSION + " (" +
           (commit.empty() ? "commit not recorded" : commit) + modified + ")";
}

// CLI11's message as a sentence: capital first letter, a full stop at the end.
std::string sentence(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    if (!text.empty()) {
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    }
    if (!text.empty() && text.back() != '.' && text.back() != '?') {
        text += '.';
    }
    return text;
}

// The help shows each option's value as its own word (N|PATH, SECONDS), a positional alone, and
// none of the parser's own words (TEXT, REQUIRED).
void tidyHelp(CLI::App& subcommand) {
    for (CLI::Option* option : subcommand.get_options()) {
        if (option->get_type_size() == 0) {
            continue;
        }
        const std::string type = option->get_type_name();
        const bool many = option->get_expected_max() == CLI::detail::expected_max_vector_size;
        const std::string text = option->get_positional() || type == "TEXT" ? "" : type;
        option->option_text(text.empty() ? " " : text + (many ? " ..." : ""));
    }
}

// A subcommand as the parser holds it, with the command that takes its options.
struct Parsed {
    CLI::App* subcommand;
    std::unique_ptr<Command> command;
};

// One option of the table as the parser takes it.
void addOption(CLI::App& app, const CommandOption& option) {
    CLI::Option* added = std::visit(
        [&app, &option](auto* target) {
            if constexpr (std::is_same_v<decltype(target), bool*>) {
                return app.add_flag(option.names, *target, option.help);
            } else {
                return app.add_option(option.names, *target, option.help);
            }
        },
        option.target);
    if (!option.valueName.empty()) {
        added->type_name(option.valueName);
    }
    if (option.required) {
        added->required();
    }
    if (!option.choices.empty() || option.check != nullptr) {
        added->check(
            CLI::Validator([option](const std::string& text) { return option.refusal(text); }, ""));
    }
}

// r550ctl itself and every subcommand with its options; `parsed` gets the subcommands.
void define(CLI::App& app, CommandContext& context, std::vector<Parsed>& parsed) {
    app.require_subcommand(1);
    // The common options may also follow the subcommand: r550ctl ports --json.
    app.fallthrough();
    app.footer(kExitFooter);
    app.set_version_flag("--version", versionLine(), "Print the version and exit");
    const std::vector<CommandOption> common =
        CommandTable::commonOptions(context.json, context.quiet);
    for (const CommandOption& option : common) {
        addOption(app, option);
    }
    for (const CommandTable::Entry& entry : CommandTable::entries()) {
        CLI::App* subcommand = app.add_subcommand(entry.name, entry.description);
        subcommand->footer(std::string(kExitFooter) + (entry.takesPorts ? kPortsFooter : ""));
        std::unique_ptr<Command> command = entry.make();
        for (const std::vector<CommandOption>& options : {common, command->options()}) {
            for (const CommandOption& option : options) {
                addOption(*subcommand, option);
            }
        }
        tidyHelp(*subcommand);
        parsed.push_back({subcommand, std::move(command)});
    }
}

// A command word that names no command: the message, or nothing.
bool refuseUnknownCommand(CommandContext& context, int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word.empty() || word[0] == '-') {
            continue;
        }
        if (CommandTable::find(word) != nullptr) {
            return false;
        }
        std::vector<std::string_view> names;
        for (const CommandTable::Entry& entry : CommandTable::entries()) {
            names.emplace_back(entry.name);
        }
        const std::vector<std::string_view> nearest = NearestWords::of(word, names);
        context.error("'" + word + "' is not a command" +
                      (nearest.empty() ? "; r550ctl --help lists them."
                                       : "; did you mean '" + std::string(nearest.front()) + "'?"));
        return true;
    }
    return false;
}

// For an option that was not expected: " Did you mean '--all' for '--al'?", or nothing.
std::string optionHint(const CLI::App& app, const std::vector<Parsed>& parsed,
                       const CLI::ParseError& problem) {
    if (dynamic_cast<const CLI::ExtrasError*>(&problem) == nullptr) {
        return "";
    }
    // The options of the command being read (or of r550ctl itself), as they are typed.
    std::vector<std::string> names;
    const auto addNames = [&names](const CLI::App& options) {
        for (const CLI::Option* option : options.get_options()) {
            for (const std::string& name : option->get_lnames()) {
                names.push_back("--" + name);
            }
        }
    };
    addNames(app);
    for (const Parsed& entry : parsed) {
        if (entry.subcommand->parsed()) {
            addNames(*entry.subcommand);
        }
    }
    const std::vector<std::string_view> words(names.begin(), names.end());
    const std::string what = problem.what();
    std::string hint;
    // "The following arguments were not expected: --al --verfy"
    std::istringstream typed(what.substr(what.find(':') + 1));
    for (std::string word; typed >> word;) {
        const std::string option = word.substr(0, word.find('='));
        const std::vector<std::string_view> nearest = option.rfind("--", 0) == 0
                                                          ? NearestWords::of(option, words)
                                                          : std::vector<std::string_view>{};
        if (!nearest.empty()) {
            hint += " Did you mean '" + std::string(nearest.front()) + "' for '" + option + "'?";
        }
    }
    return hint;
}

int parseFailed(CommandContext& context, const CLI::App& app, const std::vector<Parsed>& parsed,
                const CLI::ParseError& problem) {
    if (problem.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
        // --help and --version print what was asked for.
        app.exit(problem, context.out(), context.err());
        return context.outputComplete() ? ExitCode::kSuccess : ExitCode::kError;
    }
    const std::string what = problem.what();
    const std::size_t colon = what.find(':');
    if (what.find("subcommand is required") != std::string::npos) {
        context.error("Name a command; r550ctl --help lists them.");
    } else if (what.find(" missing") != std::string::npos && colon != std::string::npos) {
        context.error(what.substr(0, colon) + " needs a value. See r550ctl --help.");
    } else {
        context.error(sentence(what) + optionHint(app, parsed, problem) + " See r550ctl --help.");
    }
    return ExitCode::kUsage;
}

} // namespace

int CommandLine::run(int argc, const char* const* argv) {
    CLI::App app("Configures R550 card readers from the command line and from scripts.", "r550ctl");
    std::vector<Parsed> parsed;
    define(app, context_, parsed);
    if (refuseUnknownCommand(context_, argc, argv)) {
        return ExitCode::kUsage;
    }
    // CLI11 reports a command line it cannot take, --help and --version, by exceptions; they
    // end here.
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& problem) {
        return parseFailed(context_, app, parsed, problem);
    }
    for (Parsed& entry : parsed) {
        if (entry.subcommand->parsed()) {
            const int code = entry.command->run(context_);
            return context_.outputComplete() ? code : ExitCode::kError;
        }
    }
    return ExitCode::kUsage;
}

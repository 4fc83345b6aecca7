#include "cli/CommandLine.h"

#include "R550BuildId.h"
#include "base/NearestWords.h"
#include "cli/ExitCode.h"

#include <algorithm>
#include <cctype>
#include <sstream>
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

// Every subcommand, in the order the help lists them.
struct Subcommand {
    const char* name;
    const char* description;
    bool takesPorts;
    std::unique_ptr<Command> (*make)();
};

const Subcommand kSubcommands[] = {
    {"ports",
     "Show COM1..COM9 (and the --port ports): device, whether it exists, may be opened, is held; "
     "and the USB serial adapters no port number leads to",
     true, makePortsCommand},
    {"detect",
     "Probe COM1..COM9 at the same time (--usb: also the USB serial adapters; --keyboard: also "
     "the keyboard line) and show each reader that answers",
     true, makeDetectCommand},
    {"version", "Show each reader's firmware version", true, makeVersionCommand},
    {"program", "Program FILE's settings into each reader (--verify: and check)", true,
     makeProgramCommand},
    {"read", "Read each reader's main settings back over BASE's (-o: into a settings file)", true,
     makeReadCommand},
    {"verify", "Read each reader's main settings back and list the settings that differ from FILE",
     true, makeVerifyCommand},
    {"reset", "Reset each reader to its factory settings", true, makeResetCommand},
    {"apply",
     "Bring each reader to FILE's settings, writing only to readers that differ (--check: only "
     "tell; --watch: each reader as it is plugged in)",
     true, makeApplyCommand},
    {"monitor",
     "Print what a reader on RS232 sends when a card is swiped, one line per burst, until Ctrl+C",
     true, makeMonitorCommand},
    {"show", "Show every named setting of a settings file as name=value", false, makeShowCommand},
    {"diff", "Show the named settings that differ between two settings files; exit 1 when any do",
     false, makeDiffCommand},
    {"set", "Change named settings of a settings file (name=value...), all or none, atomically",
     false, makeSetCommand},
    {"new", "Write a settings file with the factory values", false, makeNewCommand},
    {"check",
     "List every setting of each settings file that holds none of its values, and a length "
     "other than 3060; exit 2 when any does",
     false, makeCheckCommand},
    {"names", "List the named settings and the values each takes", false, makeNamesCommand},
};

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

} // namespace

CommandLine::CommandLine(CommandContext& context)
    : context_(context),
      app_("Configures R550 card readers from the command line and from scripts.", "r550ctl") {
    app_.require_subcommand(1);
    // The common options may also follow the subcommand: r550ctl ports --json.
    app_.fallthrough();
    app_.footer(kExitFooter);
    app_.set_version_flag("--version", versionLine(), "Print the version and exit");
    app_.add_flag("--json", context_.json, "Print one JSON object per line instead of text");
    app_.add_flag("-q,--quiet", context_.quiet, "No notes on stderr; errors still show");
    for (const Subcommand& entry : kSubcommands) {
        CLI::App* subcommand = app_.add_subcommand(entry.name, entry.description);
        subcommand->add_flag("--json", context_.json,
                             "Print one JSON object per line instead of text");
        subcommand->add_flag("-q,--quiet", context_.quiet, "No notes on stderr; errors still show");
        subcommand->footer(std::string(kExitFooter) + (entry.takesPorts ? kPortsFooter : ""));
        std::unique_ptr<Command> command = entry.make();
        command->define(*subcommand);
        tidyHelp(*subcommand);
        entries_.push_back({subcommand, std::move(command)});
    }
}

bool CommandLine::refuseUnknownCommand(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word.empty() || word[0] == '-') {
            continue;
        }
        const bool known =
            std::any_of(std::begin(kSubcommands), std::end(kSubcommands),
                        [&word](const Subcommand& entry) { return word == entry.name; });
        if (known) {
            return false;
        }
        std::vector<std::string_view> names;
        for (const Subcommand& entry : kSubcommands) {
            names.emplace_back(entry.name);
        }
        const std::vector<std::string_view> nearest = NearestWords::of(word, names);
        context_.error("'" + word + "' is not a command" +
                       (nearest.empty()
                            ? "; r550ctl --help lists them."
                            : "; did you mean '" + std::string(nearest.front()) + "'?"));
        return true;
    }
    return false;
}

int CommandLine::parseFailed(const CLI::ParseError& problem) {
    if (problem.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
        // --help and --version print what was asked for.
        app_.exit(problem, context_.out(), context_.err());
        return context_.outputComplete() ? ExitCode::kSuccess : ExitCode::kError;
    }
    const std::string what = problem.what();
    const std::size_t colon = what.find(':');
    if (what.find("subcommand is required") != std::string::npos) {
        context_.error("Name a command; r550ctl --help lists them.");
    } else if (what.find(" missing") != std::string::npos && colon != std::string::npos) {
        context_.error(what.substr(0, colon) + " needs a value. See r550ctl --help.");
    } else {
        context_.error(sentence(what) + optionHint(problem) + " See r550ctl --help.");
    }
    return ExitCode::kUsage;
}

std::string CommandLine::optionHint(const CLI::ParseError& problem) const {
    if (dynamic_cast<const CLI::ExtrasError*>(&problem) == nullptr) {
        return "";
    }
    // The options of the command being read (or of r550ctl itself), as they are typed.
    std::vector<std::string> names;
    const auto addNames = [&names](const CLI::App& app) {
        for (const CLI::Option* option : app.get_options()) {
            for (const std::string& name : option->get_lnames()) {
                names.push_back("--" + name);
            }
        }
    };
    addNames(app_);
    for (const Entry& entry : entries_) {
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

int CommandLine::run(int argc, const char* const* argv) {
    if (refuseUnknownCommand(argc, argv)) {
        return ExitCode::kUsage;
    }
    // CLI11 reports a command line it cannot take, --help and --version, by exceptions; they
    // end here.
    try {
        app_.parse(argc, argv);
    } catch (const CLI::ParseError& problem) {
        return parseFailed(problem);
    }
    for (Entry& entry : entries_) {
        if (entry.subcommand->parsed()) {
            const int code = entry.command->run(context_);
            return context_.outputComplete() ? code : ExitCode::kError;
        }
    }
    return ExitCode::kUsage;
}

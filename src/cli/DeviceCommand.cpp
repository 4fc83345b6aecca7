#include "cli/DeviceCommand.h"

#include "cli/ApplyCommand.h"
#include "cli/CommandGroups.h"
#include "cli/DetectCommand.h"
#include "cli/ExitCode.h"
#include "cli/InterruptSignals.h"
#include "cli/PortName.h"
#include "cli/ProgramCommand.h"
#include "cli/ProgressLines.h"
#include "cli/ReadCommand.h"
#include "cli/ReaderLoop.h"
#include "cli/ReaderSearch.h"
#include "cli/ReaderSession.h"
#include "cli/ResetCommand.h"
#include "cli/VerifyCommand.h"
#include "cli/VersionCommand.h"
#include "link/NullPortIo.h"
#include "link/PortIoSelection.h"
#include "link/SteadyClock.h"
#include "operations/FailureDescription.h"
#include "operations/Outcome.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsFileContents.h"
#include "settings/SettingsImage.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <system_error>
#include <unistd.h>

namespace {

constexpr double kLongestTimeoutSeconds = 3600.0;

std::string statusWord(const ReaderResult& result) {
    if (!result.word.empty()) {
        return result.word;
    }
    switch (result.status) {
    case ReaderResult::Status::Ok:
        return "ok";
    case ReaderResult::Status::Failed:
        return "failed";
    case ReaderResult::Status::Differs:
        return "differs";
    case ReaderResult::Status::Interrupted:
        return "interrupted";
    }
    return "failed";
}

nlohmann::ordered_json textOrNull(const std::string& text) {
    return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
}

std::string padded(const std::string& text, std::size_t width) {
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ') + "  ";
}

// One line per reader, the columns lined up: port, device, outcome, time, reason or detail; then
// the lines a command adds for the reader. Or one JSON object per reader.
void printResults(CommandContext& context, const std::vector<ReaderSession*>& sessions) {
    if (context.json) {
        for (const ReaderSession* session : sessions) {
            context.printJson(DeviceCommand::resultJson(*session));
        }
        return;
    }
    using Row = std::array<std::string, 5>;
    std::vector<Row> rows;
    std::array<std::size_t, 4> widths{};
    for (const ReaderSession* session : sessions) {
        const ReaderResult& result = session->result;
        Row row{session->label(), session->device().empty() ? "-" : session->device(),
                statusWord(result), std::to_string(result.milliseconds) + " ms",
                result.reason.empty() ? result.detail : result.reason};
        for (std::size_t column = 0; column < widths.size(); ++column) {
            widths[column] = std::max(widths[column], row[column].size());
        }
        rows.push_back(std::move(row));
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        std::string line;
        for (std::size_t column = 0; column < widths.size(); ++column) {
            // The time reads best aligned on the right.
            line += column == 3 ? std::string(widths[3] - row[3].size(), ' ') + row[3] + "  "
                                : padded(row[column], widths[column]);
        }
        line += row[4];
        line.erase(line.find_last_not_of(' ') + 1);
        context.printLine(line);
        for (const std::string& extra : sessions[i]->result.lines) {
            context.printLine("  " + extra);
        }
    }
}

void showProgress(ProgressLines& progress, const std::vector<ReaderSession*>& sessions) {
    if (!progress.enabled()) {
        return;
    }
    std::vector<std::string> lines;
    std::size_t done = 0;
    std::size_t width = 0;
    for (const ReaderSession* session : sessions) {
        width = std::max(width, session->label().size());
    }
    for (const ReaderSession* session : sessions) {
        lines.push_back(padded(session->label(), width) + session->progress());
        done += session->running() ? 0U : 1U;
    }
    progress.show(lines, done);
}

std::string canonicalText(const std::optional<std::filesystem::path>& path) {
    if (!path) {
        return {};
    }
    std::error_code error;
    const std::filesystem::path found = std::filesystem::canonical(*path, error);
    return error ? std::string() : found.string();
}

} // namespace

nlohmann::ordered_json DeviceCommand::resultJson(const ReaderSession& session) {
    const ReaderResult& result = session.result;
    nlohmann::ordered_json object;
    object["port"] = session.label();
    object["device"] = textOrNull(session.device());
    object["outcome"] = statusWord(result);
    object["reason"] = textOrNull(result.reason);
    object["ms"] = result.milliseconds;
    if (result.extra.is_object()) {
        for (const auto& [key, value] : result.extra.items()) {
            object[key] = value;
        }
    }
    return object;
}

void DeviceCommand::define(CLI::App& subcommand) {
    CLI::Option* port = subcommand
                            .add_option("-p,--port", ports_,
                                        "A reader's port: a number (3, COM3) or a device path; "
                                        "repeatable, all served at once")
                            ->type_name("N|PATH");
    CLI::Option* all = subcommand.add_flag(
        "--all", all_, "Every port among COM1..COM9 where a reader answers a probe");
    subcommand
        .add_flag("--usb", usb_,
                  "With --all: also the USB serial adapters under "
                  "/dev/serial/by-id")
        ->needs(all);
    all->excludes(port);
    if (offersKeyboard_) {
        subcommand
            .add_flag("--keyboard", keyboard_,
                      "Through the keyboard controller to the reader in the keyboard line, at the "
                      "window's pace (needs port access)")
            ->excludes(port)
            ->excludes(all);
    }
    subcommand
        .add_option("--timeout", timeoutSeconds_,
                    "Seconds a reader may take for a reply after its echo (default 2)")
        ->type_name("SECONDS")
        ->check(CLI::Range(0.001, kLongestTimeoutSeconds));
    subcommand
        .add_option("--pace", pace_,
                    "reader: each step as soon as its bytes are there (default); window: the "
                    "window's 500 ms ticks")
        ->type_name("reader|window")
        ->check(CLI::IsMember({"reader", "window"}));
    defineOwn(subcommand);
}

TransferPacer::Limits DeviceCommand::limits() const {
    TransferPacer::Limits limits;
    limits.replyMs = static_cast<int>(std::lround(timeoutSeconds_ * 1000.0));
    return limits;
}

bool DeviceCommand::record(ReaderSession& session, const Outcome& outcome) {
    ReaderResult& result = session.result;
    switch (outcome.status) {
    case OutcomeStatus::Done:
        result.status = ReaderResult::Status::Ok;
        result.reason.clear();
        return true;
    case OutcomeStatus::Failed:
        result.reason = briefFailure(outcome.failure);
        break;
    case OutcomeStatus::Cancelled:
        result.reason = "cancelled";
        break;
    case OutcomeStatus::NotRun:
    case OutcomeStatus::Dismissed:
        result.reason = "not run";
        break;
    }
    result.status = ReaderResult::Status::Failed;
    return false;
}

bool DeviceCommand::loadSettingsFile(CommandContext& context, const std::string& path,
                                     SettingsImage& image) {
    SettingsFileContents file;
    if (!file.load(path)) {
        context.error(file.reason());
        return false;
    }
    if (!file.wholeBlock()) {
        context.note(file.sizeWarning());
    }
    image = file.image();
    return true;
}

int DeviceCommand::run(CommandContext& context) {
    if (const std::optional<int> stop = runOwnWay(context)) {
        return *stop;
    }
    if (!keyboard_ && ports_.empty() && !all_) {
        context.error(std::string("name the readers: --port N|PATH (repeatable) or --all") +
                      (offersKeyboard_ ? ", or --keyboard" : ""));
        return ExitCode::kUsage;
    }
    // Each device once, however it was named: a second open of the same port would only fail.
    std::vector<PortName> portNames;
    std::set<std::string> devices;
    for (const std::string& text : ports_) {
        const std::optional<PortName> portName = PortName::parse(text);
        if (!portName) {
            context.error(PortName::notAPort(text));
            return ExitCode::kUsage;
        }
        const std::string device = canonicalText(portName->resolve(context.portMap()));
        const bool again =
            std::any_of(portNames.begin(), portNames.end(),
                        [&](const PortName& known) { return known.label() == portName->label(); });
        if (again || (!device.empty() && !devices.insert(device).second)) {
            continue;
        }
        portNames.push_back(*portName);
    }
    if (const std::optional<int> stop = prepare(context)) {
        return *stop;
    }

    // Before any port opens, so that Ctrl+C always finds every port released on the way out.
    InterruptSignals signals;
    if (!signals.valid()) {
        context.error(std::string("cannot take Ctrl+C: ") + std::strerror(errno));
        return ExitCode::kFailed;
    }
    SteadyClock clock;
    NullPortIo nullIo;
    const Pace pace = this->pace();
    ProgressLines progress(context.err(), STDERR_FILENO, !context.quiet);
    ReaderLoop loop(clock, signals);

    std::unique_ptr<PortIo> keyboardIo;
    std::vector<std::unique_ptr<ReaderSession>> owned;
    if (keyboard_) {
        const char* const setting = std::getenv("R550_PORT_IO");
        if (const std::string problem = portIoSettingProblem(setting); !problem.empty()) {
            context.error(problem);
            return ExitCode::kUsage;
        }
        keyboardIo = makePortIo(setting, true, clock, clock.nowMilliseconds());
        if (!keyboardIo) {
            keyboardIo = std::make_unique<NullPortIo>(PortAccess::Denied);
        }
        owned.push_back(std::make_unique<ReaderSession>(context.portMap(), clock, *keyboardIo));
    } else {
        if (all_) {
            ReaderSearch search(context, clock, nullIo, pace, limits());
            search.addSerialPorts(usb_);
            const std::vector<ReaderSession*> probes = search.begin();
            loop.afterRound([&] { showProgress(progress, probes); });
            const ReaderLoop::Ending ending = loop.run(probes);
            progress.clear();
            if (ending == ReaderLoop::Ending::Failed) {
                context.error(loop.error());
                return ExitCode::kFailed;
            }
            if (ending == ReaderLoop::Ending::Interrupted) {
                context.note("interrupted while looking for readers; every port released");
                return ExitCode::kInterrupted;
            }
            for (const std::string& note : search.unusable()) {
                context.note(note);
            }
            for (const ReaderSearch::Reader& reader : search.found()) {
                const std::string device =
                    canonicalText(reader.portName.resolve(context.portMap()));
                if (device.empty() || devices.insert(device).second) {
                    portNames.push_back(reader.portName);
                }
            }
            if (portNames.empty()) {
                context.error(std::string("no reader answered on COM1..COM9") +
                              (usb_ ? " or the USB serial adapters" : ""));
                return ExitCode::kFailed;
            }
        }
        for (const PortName& portName : portNames) {
            owned.push_back(std::make_unique<ReaderSession>(context.portMap(), portName, clock,
                                                            nullIo, pace, limits()));
        }
    }
    if (const std::optional<int> stop = checkReaders(context, owned.size())) {
        return *stop;
    }

    std::vector<ReaderSession*> sessions;
    for (const std::unique_ptr<ReaderSession>& session : owned) {
        sessions.push_back(session.get());
    }
    for (ReaderSession* session : sessions) {
        begin(*session);
    }
    loop.afterRound([&] { showProgress(progress, sessions); });
    const ReaderLoop::Ending ending = loop.run(sessions);
    progress.clear();
    if (ending == ReaderLoop::Ending::Failed) {
        for (ReaderSession* session : sessions) {
            session->interrupt();
        }
        context.error(loop.error());
    }
    const int concluded = conclude(context, sessions);
    printResults(context, sessions);

    if (ending == ReaderLoop::Ending::Interrupted) {
        std::string unfinished;
        for (const ReaderSession* session : sessions) {
            if (session->result.status == ReaderResult::Status::Interrupted) {
                unfinished += (unfinished.empty() ? "" : ", ") + session->label();
            }
        }
        context.error("interrupted; " +
                      (unfinished.empty() ? std::string("every reader was done")
                                          : "left unfinished: " + unfinished) +
                      "; every port released");
        return ExitCode::kInterrupted;
    }
    if (concluded != ExitCode::kSuccess) {
        return concluded;
    }
    const bool allSucceeded =
        ending == ReaderLoop::Ending::Finished &&
        std::all_of(sessions.begin(), sessions.end(),
                    [](const ReaderSession* session) { return session->result.succeeded(); });
    return allSucceeded ? ExitCode::kSuccess : ExitCode::kFailed;
}

void addDeviceCommands(CommandLine& commandLine) {
    commandLine.add("detect",
                    "Probe COM1..COM9 at the same time (--usb: also the USB serial adapters; "
                    "--keyboard: also the keyboard line) and show each reader that answers",
                    std::make_unique<DetectCommand>());
    commandLine.add("version", "Show each reader's firmware version",
                    std::make_unique<VersionCommand>());
    commandLine.add("program", "Program FILE's settings into each reader (--verify: and check)",
                    std::make_unique<ProgramCommand>());
    commandLine.add("read",
                    "Read each reader's main settings back over BASE's (-o: into a settings file)",
                    std::make_unique<ReadCommand>());
    commandLine.add("verify",
                    "Read each reader's main settings back and list the settings that differ "
                    "from FILE",
                    std::make_unique<VerifyCommand>());
    commandLine.add("reset", "Reset each reader to its factory settings",
                    std::make_unique<ResetCommand>());
    commandLine.add("apply",
                    "Bring each reader to FILE's settings, writing only to readers that differ "
                    "(--check: only tell; --watch: each reader as it is plugged in)",
                    std::make_unique<ApplyCommand>());
}

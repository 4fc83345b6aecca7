#include "cli/DetectCommand.h"

#include "cli/ExitCode.h"
#include "cli/InterruptSignals.h"
#include "cli/ProgressLines.h"
#include "cli/ReaderLoop.h"
#include "cli/ReaderSearch.h"
#include "cli/TerminalKeys.h"
#include "link/KeyboardPortLink.h"
#include "link/NullPortIo.h"
#include "link/PortIoSelection.h"
#include "link/SteadyClock.h"
#include "operations/FailureDescription.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <unistd.h>

namespace {

// How often the wait for keyboard access asks again (an authentication may be under way).
constexpr int kAccessPollMs = 100;

nlohmann::ordered_json textOrNull(const std::string& text) {
    return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
}

void printReaders(CommandContext& context, const std::vector<ReaderSearch::Reader>& readers) {
    std::size_t labelWidth = 0;
    std::size_t deviceWidth = 0;
    for (const ReaderSearch::Reader& reader : readers) {
        labelWidth = std::max(labelWidth, reader.label.size());
        deviceWidth = std::max(deviceWidth, reader.device.size());
    }
    for (const ReaderSearch::Reader& reader : readers) {
        if (context.json) {
            nlohmann::ordered_json object;
            object["port"] = reader.label;
            object["device"] = textOrNull(reader.device);
            object["ms"] = reader.milliseconds;
            object["suggestedPort"] = reader.suggestedPort != 0
                                          ? nlohmann::ordered_json(reader.suggestedPort)
                                          : nlohmann::ordered_json(nullptr);
            object["mapCommand"] = textOrNull(reader.mapCommand);
            context.printJson(object);
            continue;
        }
        std::string line = reader.label + std::string(labelWidth - reader.label.size() + 2, ' ') +
                           reader.device +
                           std::string(deviceWidth - reader.device.size() + 2, ' ') +
                           std::to_string(reader.milliseconds) + " ms";
        if (reader.keyboardLine) {
            line += "  in the keyboard line";
        }
        context.printLine(line);
        if (!reader.mapCommand.empty()) {
            context.printLine("  no port number leads to it; as COM" +
                              std::to_string(reader.suggestedPort) + ": " + reader.mapCommand);
        }
    }
}

} // namespace

void DetectCommand::define(CLI::App& subcommand) {
    subcommand.add_flag("--usb", usb_,
                        "Also probe every USB serial adapter under /dev/serial/by-id (opening a "
                        "port resets some devices)");
    subcommand.add_flag("--keyboard", keyboard_,
                        "Also probe the keyboard line: the reader answers by typing O, read from "
                        "the terminal (waits up to 10 s; needs port access)");
    subcommand
        .add_option("--pace", pace_,
                    "reader: a silent port is given up after 500 ms (default); window: the "
                    "window's ticks and its 5 s")
        ->type_name("reader|window")
        ->check(CLI::IsMember({"reader", "window"}));
}

int DetectCommand::run(CommandContext& context) {
    if (keyboard_ && ::isatty(STDIN_FILENO) != 1) {
        context.error("--keyboard: a reader in the keyboard line answers by typing O, which "
                      "r550ctl can read only from a terminal on standard input");
        return ExitCode::kUsage;
    }
    SteadyClock clock;
    NullPortIo nullIo;
    std::unique_ptr<PortIo> keyboardIo;
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
        // Asked for while the terminal is still the operator's: an authentication may ask there.
        PortAccess access = keyboardIo->requestAccess();
        while (access == PortAccess::Pending) {
            clock.sleepMilliseconds(kAccessPollMs);
            access = keyboardIo->requestAccess();
        }
        if (access != PortAccess::Granted) {
            Failure failure;
            failure.kind = KeyboardPortLink::accessFailure(access);
            context.error("keyboard: " + briefFailure(failure));
            return ExitCode::kFailed;
        }
    }

    // Before any port opens, so that Ctrl+C always finds every port released on the way out.
    InterruptSignals signals;
    if (!signals.valid()) {
        context.error(std::string("cannot take Ctrl+C: ") + std::strerror(errno));
        return ExitCode::kFailed;
    }
    ReaderSearch search(context, clock, nullIo, pace_ == "window" ? Pace::Window : Pace::Reader,
                        TransferPacer::Limits{});
    search.addSerialPorts(usb_);
    ReaderLoop loop(clock, signals);
    std::optional<TerminalKeys> keys;
    if (keyboard_) {
        search.addKeyboardLine(*keyboardIo);
        keys.emplace(STDIN_FILENO);
        loop.watchKeys(STDIN_FILENO, [&search](int key) { search.keyDown(key); });
        context.note("probing the keyboard line too: its reader answers by typing O, within 10 s");
    }
    ProgressLines progress(context.err(), STDERR_FILENO, !context.quiet);
    const std::vector<ReaderSession*> sessions = search.begin();
    loop.afterRound([&] {
        if (!progress.enabled()) {
            return;
        }
        std::vector<std::string> lines;
        std::size_t done = 0;
        for (const ReaderSession* session : sessions) {
            lines.push_back(session->label() + "  " +
                            (session->running()    ? std::string("probing")
                             : session->answered() ? std::string("reader found")
                                                   : std::string("no reader")));
            done += session->running() ? 0U : 1U;
        }
        progress.show(lines, done);
    });
    const ReaderLoop::Ending ending = loop.run(sessions);
    progress.clear();
    keys.reset();
    if (ending == ReaderLoop::Ending::Failed) {
        context.error(loop.error());
        return ExitCode::kFailed;
    }
    const std::vector<ReaderSearch::Reader> readers = search.found();
    printReaders(context, readers);
    if (ending == ReaderLoop::Ending::Interrupted) {
        context.error("interrupted; every port released");
        return ExitCode::kInterrupted;
    }
    for (const std::string& note : search.unusable()) {
        context.note(note);
    }
    if (readers.empty()) {
        context.error(std::string("no reader answered on COM1..COM9") +
                      (usb_ ? ", the USB serial adapters" : "") +
                      (keyboard_ ? " or in the keyboard line" : ""));
        return ExitCode::kFailed;
    }
    return ExitCode::kSuccess;
}

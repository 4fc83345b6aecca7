#include "base/InterruptSignals.h"
#include "base/TerminalKeys.h"
#include "cli/Command.h"
#include "cli/ExitCode.h"
#include "cli/ProgressLines.h"
#include "link/KeyboardPortLink.h"
#include "link/NullPortIo.h"
#include "link/PortIoSelection.h"
#include "link/SteadyClock.h"
#include "operations/FailureDescription.h"
#include "operations/ReaderLoop.h"
#include "operations/ReaderSearch.h"

#include <cstdlib>
#include <memory>
#include <optional>
#include <unistd.h>

namespace {

// r550ctl detect [--usb] [--keyboard] [--pace reader|window]: the window's probe on COM1..COM9 at
// the same time, plus the USB serial adapters (--usb) and the keyboard line (--keyboard); prints
// each reader that answered, and for an adapter that no port number leads to, the line that maps
// it. Exit status 3 when no reader answered.
class DetectCommand final : public Command {
public:
    std::vector<CommandOption> options() override {
        return {{"--usb",
                 "Also probe every USB serial adapter under /dev/serial/by-id (opening a port "
                 "resets some devices)",
                 &usb_},
                {"--keyboard",
                 "Also probe the keyboard line: the reader answers by typing O, read from the "
                 "terminal (waits up to 10 s; needs port access)",
                 &keyboard_},
                CommandContext::paceOption(pace_, "a silent port is given up after 500 ms")};
    }

    int run(CommandContext& context) override;

private:
    // Access to the keyboard controller, asked for while the terminal is still the operator's
    // (an authentication may ask there). False, with the message shown, when it is not given.
    bool takeKeyboard(CommandContext& context);

    bool usb_ = false;
    bool keyboard_ = false;
    std::string pace_ = "reader";
    SteadyClock clock_;
    std::unique_ptr<PortIo> keyboardIo_;
};

bool DetectCommand::takeKeyboard(CommandContext& context) {
    keyboardIo_ = makePortIo(std::getenv("R550_PORT_IO"), true, clock_, clock_.nowMilliseconds());
    const PortAccess access = KeyboardPortLink(*keyboardIo_, clock_).awaitAccess();
    if (access == PortAccess::Granted) {
        return true;
    }
    Failure failure;
    failure.kind = KeyboardPortLink::accessFailure(access);
    context.error("keyboard: " + briefFailure(failure));
    return false;
}

using Found = ReaderSearch::Found;

const RecordField<Found> kFoundFields[] = {
    {"port", "PORT", FieldType::Text, [](const Found& f) { return FieldValue(f.label); }},
    {"device", "DEVICE", FieldType::Text,
     [](const Found& f) { return FieldValue::textOrNull(f.device); },
     [](const Found& f) { return f.device; }},
    {"keyboard_line", "", FieldType::Flag,
     [](const Found& f) { return FieldValue(f.keyboardLine); }},
    {"ms", "TIME", FieldType::Number, [](const Found& f) { return FieldValue(f.milliseconds); },
     [](const Found& f) { return std::to_string(f.milliseconds) + " ms"; }},
    {"", "LINE", FieldType::Text, nullptr,
     [](const Found& f) { return std::string(f.keyboardLine ? "in the keyboard line" : ""); }},
    {"suggested_port", "", FieldType::Number,
     [](const Found& f) { return FieldValue::numberOrNull(f.suggestedPort); }},
    {"map_command", "", FieldType::Text,
     [](const Found& f) { return FieldValue::textOrNull(f.mapCommand); }},
};

// An adapter that no port number leads to: the line that maps it.
std::vector<std::string> mapLines(const Found& found) {
    if (found.mapCommand.empty()) {
        return {};
    }
    return {"  no port number leads to it; as COM" + std::to_string(found.suggestedPort) + ": " +
            found.mapCommand};
}

int DetectCommand::run(CommandContext& context) {
    if (keyboard_ && ::isatty(STDIN_FILENO) != 1) {
        context.error("--keyboard: a reader in the keyboard line answers by typing O, which "
                      "r550ctl can read only from a terminal on standard input.");
        return ExitCode::kUsage;
    }
    if (keyboard_ && !context.portIoSettingUsable()) {
        return ExitCode::kUsage;
    }
    if (keyboard_ && !takeKeyboard(context)) {
        return ExitCode::kReaderFailed;
    }
    // Before any port opens, so that Ctrl+C always finds every port released on the way out.
    InterruptSignals signals;
    if (!context.signalsReady(signals)) {
        return ExitCode::kError;
    }
    NullPortIo nullIo;
    ReaderSearch search(context.portMap(), context.byIdFolder(), clock_, nullIo,
                        CommandContext::paceOf(pace_), TransferPacer::Limits{});
    search.addSerialPorts(usb_);
    ReaderLoop loop(clock_, signals);
    std::optional<TerminalKeys> keys;
    if (keyboard_) {
        search.addKeyboardLine(*keyboardIo_);
        keys.emplace(STDIN_FILENO);
        loop.watchKeys(STDIN_FILENO, [&search](int key) { search.keyDown(key); });
        context.note("probing the keyboard line too: its reader answers by typing O, within 10 s");
    }
    ProgressLines progress(context.err(), STDERR_FILENO, !context.quiet);
    const ReaderLoop::Ending ending = progress.run(loop, search.begin());
    keys.reset();
    if (ending == ReaderLoop::Ending::Failed) {
        context.error(loop.error());
        return ExitCode::kError;
    }
    const std::vector<ReaderSearch::Found> readers = search.found();
    context.printRecords(RecordTable<Found>(kFoundFields, mapLines), readers);
    if (ending == ReaderLoop::Ending::Interrupted) {
        context.error("interrupted; every port released");
        return ExitCode::kInterrupted;
    }
    for (const std::string& note : search.unusable()) {
        context.note(note);
    }
    if (readers.empty()) {
        context.error(search.noneAnswered(keyboard_));
        return ExitCode::kReaderFailed;
    }
    return ExitCode::kSuccess;
}

} // namespace

std::unique_ptr<Command> makeDetectCommand() {
    return std::make_unique<DetectCommand>();
}

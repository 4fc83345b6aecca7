#include "cli/ApplyCommand.h"

#include "cli/ApplyWatch.h"
#include "cli/ExitCode.h"
#include "cli/ReaderSession.h"
#include "settings/SettingsFileContents.h"

void ApplyCommand::defineOwn(CLI::App& subcommand) {
    subcommand.add_option("FILE", file_, "The settings file to bring the readers to")->required();
    subcommand.add_flag("--check", check_,
                        "Only read back and compare: tell which readers would change, write "
                        "nothing");
    subcommand.add_flag("--diff", diff_, "List each setting that differs as 'name: reader → file'");
    subcommand.add_flag("--watch", watch_,
                        "Keep running: apply FILE to each reader as it appears on a given port "
                        "or, with --usb, as a new USB serial adapter; Ctrl+C ends it");
    subcommand.add_flag("--any-length", anyLength_,
                        "Take a FILE that is not 3060 bytes long, laid over the factory values "
                        "as the window's Load reads it");
    subcommand.add_flag("--keyboard", keyboard_,
                        "Refused: a reader in the keyboard line cannot be read back (use "
                        "program --keyboard)");
    // --usb also serves --watch, for the adapters plugged in while it runs.
    CLI::Option* usb = subcommand.get_option("--usb");
    usb->remove_needs(subcommand.get_option("--all"));
    usb->description("With --all: also the USB serial adapters under /dev/serial/by-id; with "
                     "--watch: each new adapter there");
    subcommand.get_option("--all")->excludes(subcommand.get_option("--watch"));
}

std::optional<int> ApplyCommand::runOwnWay(CommandContext& context) {
    if (keyboard_) {
        context.error("apply --keyboard: a reader in the keyboard line cannot be read back, so "
                      "apply cannot tell what it holds; use program --keyboard");
        return ExitCode::kUsage;
    }
    if (usbAdapters() && !allPorts() && !watch_) {
        context.error("--usb needs --all or --watch");
        return ExitCode::kUsage;
    }
    if (watch_) {
        return watch(context);
    }
    return std::nullopt;
}

bool ApplyCommand::loadFile(CommandContext& context) {
    SettingsFileContents file;
    if (!file.load(file_)) {
        context.error(file.reason());
        return false;
    }
    if (!file.wholeBlock()) {
        if (!anyLength_) {
            context.error(file_ + ": " + std::to_string(file.size()) + " bytes, not the " +
                          std::to_string(SettingsImage::kSize) +
                          " of a settings file; nothing was sent (--any-length: lay it over "
                          "the factory values)");
            return false;
        }
        context.error(file.sizeWarning());
    }
    image_ = file.image();
    apply_.emplace(image_, ReaderApply::Options{check_, diff_});
    return true;
}

std::optional<int> ApplyCommand::prepare(CommandContext& context) {
    if (!loadFile(context)) {
        return ExitCode::kUsage;
    }
    return std::nullopt;
}

int ApplyCommand::watch(CommandContext& context) {
    if (portTexts().empty() && !usbAdapters()) {
        context.error("--watch: name the ports to watch: --port N|PATH (repeatable) or --usb");
        return ExitCode::kUsage;
    }
    ApplyWatch station(context, *apply_, pace(), limits());
    for (const std::string& text : portTexts()) {
        const std::optional<PortName> portName = PortName::parse(text);
        if (!portName) {
            context.error(PortName::notAPort(text));
            return ExitCode::kUsage;
        }
        station.addPort(*portName);
    }
    if (!loadFile(context)) {
        return ExitCode::kUsage;
    }
    if (usbAdapters()) {
        station.addFolder(context.byIdFolder());
    }
    return station.run();
}

void ApplyCommand::begin(ReaderSession& session) {
    apply_->begin(session);
}

int ApplyCommand::conclude(CommandContext& /*context*/,
                           const std::vector<ReaderSession*>& sessions) {
    bool differs = false;
    for (const ReaderSession* session : sessions) {
        // A reader left unfinished by a loop that could not wait failed as well.
        if (session->result.status == ReaderResult::Status::Failed ||
            session->result.status == ReaderResult::Status::Interrupted) {
            return ExitCode::kReaderFailed;
        }
        differs = differs || session->result.status == ReaderResult::Status::Differs;
    }
    return differs ? ExitCode::kFailed : ExitCode::kSuccess;
}

#include "cli/DeviceCommand.h"

#include "base/InterruptSignals.h"
#include "base/WriteLog.h"
#include "cli/CommandOption.h"
#include "cli/ExitCode.h"
#include "cli/ProgressLines.h"
#include "cli/Reader.h"
#include "cli/SettingRecord.h"
#include "link/PortHolders.h"
#include "link/PortIoSelection.h"
#include "operations/DeviceTransaction.h"
#include "operations/ReadBackCoverage.h"
#include "operations/ReaderLoop.h"
#include "operations/ReaderSearch.h"
#include "settings/BackupFolder.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingCheck.h"
#include "settings/SettingDifferences.h"
#include "settings/SettingsFileContents.h"
#include "settings/SettingsImage.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <set>
#include <unistd.h>

namespace {

constexpr double kLongestTimeoutSeconds = 3600.0;

// For a --timeout that is no time it takes: the message.
std::string timeoutRefusal(const std::string& text) {
    const double seconds = std::strtod(text.c_str(), nullptr);
    return seconds >= 0.001 && seconds <= kLongestTimeoutSeconds
               ? std::string()
               : "'" + text + "' is not a time from 0.001 to 3600 seconds";
}

} // namespace

std::vector<CommandOption> DeviceCommand::options() {
    std::vector<CommandOption> options{
        {"-p,--port",
         "A reader's port: a number (3, COM3) or a device path; repeatable, all served at once",
         &portTexts_, "N|PATH"},
        {"--all", "Every port among COM1..COM9 where a reader answers a probe", &all_},
        {"--usb", usbHelp_, &usb_},
        {"--force-open",
         "Open a --port that another program holds all the same (that program may then swallow "
         "the reader's replies)",
         &forceOpen_}};
    if (offersKeyboard_) {
        options.push_back({"--keyboard",
                           "Through the keyboard controller to the reader in the keyboard line, "
                           "at the window's pace (needs port access)",
                           &keyboard_});
    }
    CommandOption timeout{
        "--timeout", "Seconds a reader may take for a reply after its echo, up to 3600 (default 2)",
        &timeoutSeconds_, "SECONDS"};
    timeout.check = timeoutRefusal;
    options.push_back(timeout);
    options.push_back(
        CommandContext::paceOption(pace_, "each step as soon as its bytes are there"));
    for (CommandOption& option : ownOptions()) {
        options.push_back(std::move(option));
    }
    return options;
}

CommandOption DeviceCommand::anyLengthOption() {
    return {"--any-length",
            "Take a settings file of another length than 3060 bytes, laid over the factory values "
            "as the window's Load does",
            &anyLength_};
}

CommandOption DeviceCommand::allowInvalidOption() {
    return {"--allow-invalid",
            "Program a file even where a setting holds none of its values (r550ctl check lists "
            "them)",
            &allowInvalid_};
}

bool DeviceCommand::programmable(CommandContext& context, const std::string& what,
                                 const SettingsImage& image) const {
    const std::vector<InvalidSetting> invalid = invalidSettings(image);
    if (invalid.empty()) {
        return true;
    }
    const std::string count = std::to_string(invalid.size()) +
                              (invalid.size() == 1 ? " setting holds" : " settings hold");
    if (allowInvalid_) {
        context.error(what + ": " + count +
                      " none of its values; programmed all the same "
                      "(--allow-invalid)");
    } else {
        context.error(what + ": " + count +
                      " none of its values; nothing sent (--allow-invalid sends it all the same):");
    }
    for (const InvalidSetting& setting : invalid) {
        context.error("  " + SettingRecord::invalidText(setting));
    }
    return allowInvalid_;
}

CommandOption DeviceCommand::backupOption() {
    return {"--backup",
            "Before writing to a reader, keep what it held as a settings file in DIR (program "
            "BACKUP puts it back)",
            &backup_, "DIR"};
}

bool DeviceCommand::backupUsable(CommandContext& context) const {
    std::string reason;
    if (!backup_.empty() && !BackupFolder(backup_).usable(reason)) {
        context.error(reason);
        return false;
    }
    return true;
}

bool DeviceCommand::backUp(Reader& reader, const SettingsImage& held) const {
    std::string reason;
    const std::string path = BackupFolder(backup_).save(held, reader.label(), reason);
    if (path.empty()) {
        reader.result.fail("backup_failed", reason + "; nothing written");
        return false;
    }
    reader.result.extra["backup_file"] = path;
    reader.result.lines.push_back("backup: " + path);
    return true;
}

void DeviceCommand::afterBackup(Reader& reader, Write write) const {
    if (!backingUp()) {
        write(nullptr);
        return;
    }
    auto held = std::make_shared<SettingsImage>(factoryBlock());
    reader.run(
        DeviceTransaction::loadMainSettings(reader.portName()), "backing up",
        [this, held, &reader, write = std::move(write)](const Outcome& outcome) {
            if (!reader.result.take(outcome)) {
                reader.result.reason = "reading back for the backup: " + reader.result.reason;
            } else if (backUp(reader, *held)) {
                write(held);
            }
        },
        held.get());
}

void DeviceCommand::logWrite(const Reader& reader, const std::string& command,
                             const SettingsImage& written, const SettingsImage* held,
                             const std::string& unknown) {
    std::vector<std::string> changed;
    if (held != nullptr) {
        for (const SettingDifference& difference : ReadBackCoverage::differences(written, *held)) {
            changed.emplace_back(difference.setting->name);
        }
    }
    WriteLog::record({command, reader.label(), reader.device(), reader.result.outcomeWord(),
                      changed, held != nullptr ? "none" : unknown});
}

TransferPacer::Limits DeviceCommand::limits() const {
    TransferPacer::Limits limits;
    limits.replyMs = static_cast<int>(std::lround(timeoutSeconds_ * 1000.0));
    return limits;
}

bool DeviceCommand::loadSettingsFile(CommandContext& context, const std::string& path,
                                     SettingsImage& image) const {
    SettingsFileContents file;
    if (!context.loadSettingsFile(file, path,
                                  anyLength_ ? CommandContext::Length::Warned
                                             : CommandContext::Length::Refused)) {
        return false;
    }
    image = file.image();
    return true;
}

void DeviceCommand::recordDifferences(Reader& reader, const SettingsImage& file,
                                      const SettingsImage& readBack) {
    ReaderResult& result = reader.result;
    const std::vector<SettingDifference> differences = settingDifferences(readBack, file);
    for (const SettingDifference& difference : differences) {
        result.lines.push_back(SettingRecord::differenceLine(*difference.setting, readBack, file));
    }
    result.extra["differences"] =
        FieldValue(SettingRecord::differences(readBack, "reader", file, "file"));
    if (differences.empty()) {
        result.status = ReaderResult::Status::Ok;
        result.detail = "same settings";
        return;
    }
    result.status = ReaderResult::Status::Differs;
    result.reason = std::to_string(differences.size()) +
                    (differences.size() == 1 ? " setting differs" : " settings differ");
}

std::optional<int> DeviceCommand::checkSelection(CommandContext& context,
                                                 std::vector<PortName>& ports) const {
    const int ways = (portTexts_.empty() ? 0 : 1) + (all_ ? 1 : 0) + (keyboard_ ? 1 : 0);
    if (ways != 1) {
        context.error(std::string(ways == 0 ? "Name the readers" : "Name the readers one way") +
                      ": --port N|PATH (repeatable) or --all" +
                      (offersKeyboard_ ? ", or --keyboard." : "."));
        return ExitCode::kUsage;
    }
    if (usb_ && !all_) {
        context.error("--usb goes with --all.");
        return ExitCode::kUsage;
    }
    if (keyboard_ && !backup_.empty()) {
        context.error("--backup: a reader in the keyboard line cannot be read back, so there is "
                      "nothing to keep; --keyboard takes no --backup.");
        return ExitCode::kUsage;
    }
    if (forceOpen_ && portTexts_.empty()) {
        context.error("--force-open goes with --port: --all never opens a port that another "
                      "program holds.");
        return ExitCode::kUsage;
    }
    if (!backupUsable(context)) {
        return ExitCode::kUsage;
    }
    if (keyboard_ && !context.portIoSettingUsable()) {
        return ExitCode::kUsage;
    }
    if (!context.parsePorts(portTexts_, ports)) {
        return ExitCode::kUsage;
    }
    return std::nullopt;
}

std::optional<int> DeviceCommand::findAll(CommandContext& context, ReaderLoop& loop,
                                          ProgressLines& progress, std::vector<PortName>& ports) {
    ReaderSearch search(context.portMap(), context.byIdFolder(), clock_, nullIo_,
                        CommandContext::paceOf(pace_), limits());
    search.addSerialPorts(usb_);
    const ReaderLoop::Ending ending = progress.run(loop, search.begin());
    if (ending == ReaderLoop::Ending::Failed) {
        context.error(loop.error());
        return ExitCode::kError;
    }
    if (ending == ReaderLoop::Ending::Interrupted) {
        context.note("interrupted while looking for readers; every port released");
        return ExitCode::kInterrupted;
    }
    for (const std::string& note : search.unusable()) {
        context.note(note);
    }
    std::set<std::string> devices;
    for (const ReaderSearch::Found& reader : search.found()) {
        const std::string device = reader.portName.canonicalDevice(context.portMap());
        if (device.empty() || devices.insert(device).second) {
            ports.push_back(reader.portName);
        }
    }
    if (ports.empty()) {
        context.error(search.noneAnswered(false));
        return ExitCode::kReaderFailed;
    }
    return std::nullopt;
}

void DeviceCommand::makeSessions(CommandContext& context, const std::vector<PortName>& ports) {
    if (keyboard_) {
        keyboardIo_ =
            makePortIo(std::getenv("R550_PORT_IO"), true, clock_, clock_.nowMilliseconds());
        owned_.push_back(std::make_unique<Reader>(context.portMap(), clock_, *keyboardIo_));
    }
    for (const PortName& port : ports) {
        owned_.push_back(std::make_unique<Reader>(context.portMap(), port, clock_, nullIo_,
                                                  CommandContext::paceOf(pace_), limits()));
        owned_.back()->port().setForceOpen(forceOpen_);
        const std::optional<std::filesystem::path> device = port.resolve(context.portMap());
        PortHolders holders;
        const std::optional<PortHolders::Holder> holder =
            forceOpen_ && device ? holders.find(*device) : std::nullopt;
        if (holder) {
            context.note(port.label() + " is open in " + holder->program + " (PID " +
                         std::to_string(holder->pid) + "); opening it anyway (--force-open)");
        }
    }
    for (const std::unique_ptr<Reader>& reader : owned_) {
        readers_.push_back(reader.get());
    }
}

int DeviceCommand::run(CommandContext& context) {
    if (const std::optional<int> stop = runOwnWay(context)) {
        return *stop;
    }
    std::vector<PortName> ports;
    if (const std::optional<int> stop = checkSelection(context, ports)) {
        return *stop;
    }
    if (const std::optional<int> stop = prepare(context)) {
        return *stop;
    }
    // Before any port opens, so that Ctrl+C always finds every port released on the way out.
    InterruptSignals signals;
    if (!context.signalsReady(signals)) {
        return ExitCode::kError;
    }
    ProgressLines progress(context.err(), STDERR_FILENO, !context.quiet);
    ReaderLoop loop(clock_, signals);
    if (all_) {
        if (const std::optional<int> stop = findAll(context, loop, progress, ports)) {
            return *stop;
        }
    }
    makeSessions(context, ports);
    if (const std::optional<int> stop = checkReaders(context, readers_)) {
        return *stop;
    }
    for (Reader* reader : readers_) {
        begin(*reader);
    }
    const ReaderLoop::Ending ending =
        progress.run(loop, std::vector<ReaderSession*>(readers_.begin(), readers_.end()));
    for (Reader* reader : readers_) {
        if (ending == ReaderLoop::Ending::Failed) {
            reader->release();
        }
        reader->settle();
    }
    if (ending == ReaderLoop::Ending::Failed) {
        context.error(loop.error());
    }
    return finish(context, static_cast<int>(ending));
}

int DeviceCommand::finish(CommandContext& context, int ending) {
    conclude(context, readers_);
    if (printsResults()) {
        printResults(context);
    }
    std::vector<const ReaderResult*> results;
    std::string unfinished;
    for (const Reader* reader : readers_) {
        results.push_back(&reader->result);
        if (reader->result.status == ReaderResult::Status::Interrupted) {
            unfinished += (unfinished.empty() ? "" : ", ") + reader->label();
        }
        if (!printsResults() && reader->result.status == ReaderResult::Status::Failed) {
            context.error(reader->label() + ": " + reader->result.reason);
        }
    }
    const bool interrupted = ending == static_cast<int>(ReaderLoop::Ending::Interrupted);
    if (interrupted) {
        context.error("interrupted; " +
                      (unfinished.empty() ? std::string("every reader was done")
                                          : "left unfinished: " + unfinished) +
                      "; every port released");
    }
    return ReaderResult::exitCode(results, interrupted);
}

// One line per reader, the columns lined up: port, device, outcome, time, reason or detail; then
// the lines a command adds for the reader. Or one JSON object per reader, every key present.
void DeviceCommand::printResults(CommandContext& context) const {
    std::vector<std::vector<std::string>> rows;
    for (const Reader* reader : readers_) {
        if (context.json) {
            context.printJson(reader->record(ownKeys_));
            continue;
        }
        const std::vector<std::vector<std::string>> own = reader->rows();
        rows.insert(rows.end(), own.begin(), own.end());
    }
    context.printRows(rows, {3});
}

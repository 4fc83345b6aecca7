#pragma once

#include "cli/Command.h"
#include "link/NullPortIo.h"
#include "link/SteadyClock.h"
#include "link/TransferPacer.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class PortIo;
class ProgressLines;
class Reader;
class ReaderLoop;
class SettingsImage;

// What the device commands (version, program, read, verify, reset) share: the readers they work
// on (--port N|PATH..., --all with --usb, or --keyboard), the pacing (--timeout, --pace), one
// session per reader served side by side in one loop, Ctrl+C, the progress lines, one record per
// reader and the exit status. A command adds its own options and says what to do on each reader;
// its own keys of the JSON object are in every object, null where a reader has none.
class DeviceCommand : public Command {
public:
    std::vector<CommandOption> options() final;
    int run(CommandContext& context) final;

protected:
    // `offersKeyboard`: the command also goes through the keyboard controller (--keyboard).
    // `usbHelp`: what --usb says, where the command gives it more to do.
    DeviceCommand(bool offersKeyboard, std::vector<std::string> ownKeys,
                  const char* usbHelp = kUsbHelp)
        : offersKeyboard_(offersKeyboard), ownKeys_(std::move(ownKeys)), usbHelp_(usbHelp) {}

    static constexpr const char* kUsbHelp =
        "With --all: also the USB serial adapters under /dev/serial/by-id";

    // The command's own options, after those every device command takes.
    virtual std::vector<CommandOption> ownOptions() { return {}; }
    // Before anything else: a command that serves its readers its own way (apply --watch) or
    // refuses a combination gives its exit status here; nothing goes on.
    virtual std::optional<int> runOwnWay(CommandContext& /*context*/) { return std::nullopt; }
    // Reads the command's files before any port opens; an exit status to stop with, or nothing.
    virtual std::optional<int> prepare(CommandContext& /*context*/) { return std::nullopt; }
    // Once the readers are known (after the probes of --all): an exit status to stop with.
    virtual std::optional<int> checkReaders(CommandContext& /*context*/,
                                            const std::vector<Reader*>& /*readers*/) {
        return std::nullopt;
    }
    // Starts the command's transactions on one reader; they leave the reader's result.
    virtual void begin(Reader& reader) = 0;
    // After every reader is done and before the results are printed: what is left to do (files
    // to write).
    virtual void conclude(CommandContext& /*context*/, const std::vector<Reader*>& /*readers*/) {}

    // False when the readers' lines would spoil what the command itself writes to stdout.
    virtual bool printsResults() const { return true; }

    bool viaKeyboard() const { return keyboard_; }
    // What the command line said about the readers and their pace.
    const std::vector<std::string>& portTexts() const { return portTexts_; }
    bool allPorts() const { return all_; }
    bool usbAdapters() const { return usb_; }
    Pace pace() const { return CommandContext::paceOf(pace_); }
    const std::vector<std::string>& ownKeys() const { return ownKeys_; }
    TransferPacer::Limits limits() const;
    // --any-length, for a command that reads a settings file to send or compare.
    CommandOption anyLengthOption();
    // --allow-invalid, for a command that programs a settings file.
    CommandOption allowInvalidOption();
    // Whether `image` (read from `what`) may be programmed: false, with every setting that holds
    // none of its values named, unless --allow-invalid was given, which is then said on stderr.
    bool programmable(CommandContext& context, const std::string& what,
                      const SettingsImage& image) const;
    // --backup DIR, for a command that writes to readers.
    CommandOption backupOption();
    bool backingUp() const { return !backup_.empty(); }
    // False, with the reason shown, when --backup names a folder that takes no file.
    bool backupUsable(CommandContext& context) const;
    // Saves `held`, what the reader held before a write, as its backup and gives the path as its
    // `backup_file`; false, with the reader failed, when it cannot be saved: nothing may be
    // written then.
    bool backUp(Reader& reader, const SettingsImage& held) const;
    // With --backup: reads the reader back over the factory values, saves that, and then runs
    // `write` with it; without, runs `write` at once with nothing.
    using Write = std::function<void(std::shared_ptr<const SettingsImage> held)>;
    void afterBackup(Reader& reader, Write write) const;
    // The system log's line for a write of `written` to the reader: the names of the settings
    // that changed from what it `held`, or, where that is not known, `unknown` ("all").
    static void logWrite(const Reader& reader, const std::string& command,
                         const SettingsImage& written, const SettingsImage* held,
                         const std::string& unknown);
    // Reads a settings file of 3060 bytes; another length is refused unless --any-length lays
    // it over the factory values as the window's Load does (with a warning, even under -q).
    // False, with the message shown, when it cannot be used.
    bool loadSettingsFile(CommandContext& context, const std::string& path,
                          SettingsImage& image) const;
    // The reader's result from FILE's block and the read-back laid over it: ok, or differs with
    // one line and one record per setting.
    static void recordDifferences(Reader& reader, const SettingsImage& file,
                                  const SettingsImage& readBack);

private:
    std::optional<int> checkSelection(CommandContext& context, std::vector<PortName>& ports) const;
    std::optional<int> findAll(CommandContext& context, ReaderLoop& loop, ProgressLines& progress,
                               std::vector<PortName>& ports);
    void makeSessions(CommandContext& context, const std::vector<PortName>& ports);
    int finish(CommandContext& context, int ending);
    void printResults(CommandContext& context) const;

    bool offersKeyboard_;
    std::vector<std::string> ownKeys_;
    const char* usbHelp_;
    std::vector<std::string> portTexts_;
    bool all_ = false;
    bool usb_ = false;
    bool keyboard_ = false;
    bool anyLength_ = false;
    bool allowInvalid_ = false;
    std::string backup_;
    bool forceOpen_ = false;
    double timeoutSeconds_ = 2.0;
    std::string pace_ = "reader";

    SteadyClock clock_;
    NullPortIo nullIo_;
    std::unique_ptr<PortIo> keyboardIo_;
    std::vector<std::unique_ptr<Reader>> owned_;
    std::vector<Reader*> readers_;
};

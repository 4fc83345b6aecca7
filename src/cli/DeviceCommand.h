#pragma once

#include "cli/Command.h"
#include "link/TransferPacer.h"

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

class ReaderSession;
class SettingsImage;
struct Outcome;

// What the device commands (version, program, read, verify, reset) share: the readers they work
// on (--port N|PATH..., --all with --usb, or --keyboard), the pacing (--timeout, --pace), one
// session per reader served side by side in one loop, Ctrl+C, the progress lines, one result per
// reader and the exit status (0 only when every reader succeeded). A command adds its own
// options and says what to do on each reader.
class DeviceCommand : public Command {
public:
    void define(CLI::App& subcommand) final;
    int run(CommandContext& context) final;

    // A reader's result as the one JSON object printed for it.
    static nlohmann::ordered_json resultJson(const ReaderSession& session);

protected:
    // `offersKeyboard`: the command also goes through the keyboard controller (--keyboard).
    explicit DeviceCommand(bool offersKeyboard) : offersKeyboard_(offersKeyboard) {}

    virtual void defineOwn(CLI::App& subcommand) = 0;
    // Before anything else: a command that serves its readers its own way (apply --watch) or
    // refuses a combination gives its exit status here; nothing goes on.
    virtual std::optional<int> runOwnWay(CommandContext& /*context*/) { return std::nullopt; }
    // Reads the command's files before any port opens; an exit status to stop with, or nothing.
    virtual std::optional<int> prepare(CommandContext& /*context*/) { return std::nullopt; }
    // Once the readers are known (after the probes of --all): an exit status to stop with.
    virtual std::optional<int> checkReaders(CommandContext& /*context*/, std::size_t /*readers*/) {
        return std::nullopt;
    }
    // Starts the command's transactions on one reader; they leave the reader's result.
    virtual void begin(ReaderSession& session) = 0;
    // After every reader is done and before the results are printed: what is left to do (files
    // to write); an exit status other than success overrides the readers' own.
    virtual int conclude(CommandContext& /*context*/,
                         const std::vector<ReaderSession*>& /*sessions*/) {
        return 0;
    }

    // --keyboard was given.
    bool viaKeyboard() const { return keyboard_; }
    // What the command line said about the readers and their pace.
    const std::vector<std::string>& portTexts() const { return ports_; }
    bool allPorts() const { return all_; }
    bool usbAdapters() const { return usb_; }
    Pace pace() const { return pace_ == "window" ? Pace::Window : Pace::Reader; }
    TransferPacer::Limits limits() const;
    // The reader's result from a transaction's outcome: ok, or failed with the reason. True when
    // the reader did what was asked.
    static bool record(ReaderSession& session, const Outcome& outcome);
    // Reads a settings file over factory values as the window's Load reads it, with a note when
    // it is not 3060 bytes long. False, with the message shown, when it cannot be read.
    static bool loadSettingsFile(CommandContext& context, const std::string& path,
                                 SettingsImage& image);

private:
    bool offersKeyboard_;
    std::vector<std::string> ports_;
    bool all_ = false;
    bool usb_ = false;
    bool keyboard_ = false;
    double timeoutSeconds_ = 2.0;
    std::string pace_ = "reader";
};

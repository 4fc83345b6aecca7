#pragma once

#include "cli/DeviceCommand.h"
#include "settings/SettingsImage.h"

#include <map>
#include <memory>
#include <string>

// r550ctl read (--port N|PATH... | --all) [-o FILE] [--into BASE.cfg]: the window's "Load Main
// Setting From R550": each reader's main settings read back and laid over BASE's block (factory
// values without --into). -o writes the result as a settings file ("{port}" in its name stands
// for each reader's port, for several readers); without it every named setting is printed as
// name=value, or as one JSON object per reader.
class ReadCommand final : public DeviceCommand {
public:
    static constexpr const char* kPortField = "{port}";

    ReadCommand() : DeviceCommand(false) {}

    // The file name for a reader: `pattern` with "{port}" replaced by the port's name (COM3, or
    // the last part of a device path).
    static std::string fileFor(const std::string& pattern, const ReaderSession& session);

protected:
    void defineOwn(CLI::App& subcommand) override;
    std::optional<int> prepare(CommandContext& context) override;
    std::optional<int> checkReaders(CommandContext& context, std::size_t readers) override;
    void begin(ReaderSession& session) override;
    int conclude(CommandContext& context, const std::vector<ReaderSession*>& sessions) override;

private:
    std::string output_;
    std::string base_;
    SettingsImage image_;
    std::map<const ReaderSession*, std::shared_ptr<SettingsImage>> readBacks_;
};

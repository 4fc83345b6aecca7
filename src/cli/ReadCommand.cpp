#include "cli/DeviceCommand.h"
#include "cli/ExitCode.h"
#include "cli/Reader.h"
#include "cli/SettingRecord.h"
#include "operations/DeviceTransaction.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingTable.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsImage.h"

#include <map>
#include <memory>
#include <nlohmann/json.hpp>

namespace {

constexpr const char* kPortField = "{port}";
constexpr const char* kStandardOutput = "-";

// r550ctl read (--port N|PATH... | --all) [-o FILE|- [--force]] [--into BASE.cfg]: the window's
// "Load Main Setting From R550": each reader's main settings read back and laid over BASE's block
// (factory values without --into). -o writes the result as a settings file ("{port}" in its name
// stands for each reader's port), or with "-" the block to standard output; without it every
// named setting is printed as name=value, or in the reader's JSON object.
class ReadCommand final : public DeviceCommand {
public:
    ReadCommand() : DeviceCommand(false, {"settings", "file"}) {}

protected:
    std::vector<CommandOption> ownOptions() override {
        return {{"-o,--output",
                 "Write the result to this settings file ({port} stands for the reader's port; - "
                 "is standard output)",
                 &output_, "FILE"},
                {"-f,--force", "Replace an output file that exists", &force_},
                {"--into",
                 "Lay the read-back over this settings file's block (default: factory values)",
                 &base_, "BASE.cfg"},
                anyLengthOption()};
    }

    std::optional<int> prepare(CommandContext& context) override {
        if (base_.empty()) {
            writeFactoryValues(image_);
        } else if (!loadSettingsFile(context, base_, image_)) {
            return ExitCode::kUsage;
        }
        return std::nullopt;
    }

    std::optional<int> checkReaders(CommandContext& context,
                                    const std::vector<Reader*>& readers) override {
        if (output_.empty()) {
            return std::nullopt;
        }
        const bool perPort = output_.find(kPortField) != std::string::npos;
        if (readers.size() > 1 && !perPort) {
            context.error("-o " + output_ + ": " + std::to_string(readers.size()) +
                          " readers would write one file; put {port} in its name.");
            return ExitCode::kUsage;
        }
        for (const Reader* reader : readers) {
            const std::string file = fileFor(*reader);
            if (file != kStandardOutput && !context.outputAllowed(file, force_)) {
                context.error("no reader was read");
                return ExitCode::kUsage;
            }
        }
        return std::nullopt;
    }

    void begin(Reader& reader) override {
        auto readBack = std::make_shared<SettingsImage>(image_);
        readBacks_[&reader] = readBack;
        reader.run(
            DeviceTransaction::loadMainSettings(reader.portName()), "reading",
            [this, readBack, &reader](const Outcome& outcome) {
                if (!reader.result.take(outcome) || !output_.empty()) {
                    return;
                }
                nlohmann::ordered_json settings = nlohmann::ordered_json::array();
                for (const NamedSetting& setting : SettingTable::all()) {
                    reader.result.lines.push_back(SettingRecord::assignment(setting, *readBack));
                    settings.push_back(SettingRecord::of(setting, *readBack));
                }
                reader.result.extra["settings"] = FieldValue(settings);
            },
            readBack.get());
    }

    void conclude(CommandContext& context, const std::vector<Reader*>& readers) override {
        for (Reader* reader : readers) {
            if (output_.empty() || !reader->result.succeeded()) {
                continue;
            }
            const std::string file = fileFor(*reader);
            const SettingsImage& image = *readBacks_.at(reader);
            if (file == kStandardOutput) {
                context.printBlock(image);
                continue;
            }
            SettingsFileReport report;
            if (writeSettingsFile(image, file, report) != 0) {
                context.error(report.reason);
                reader->result.fail("cannot_write", "read, but " + file + " cannot be written");
                continue;
            }
            reader->result.detail = "written to " + file;
            reader->result.extra["file"] = file;
        }
    }

    // With the block on standard output, the readers' lines would spoil it; failures still show.
    bool printsResults() const override { return output_ != kStandardOutput; }

private:
    // The file name for a reader: the pattern with "{port}" replaced by the port's name (COM3, or
    // the last part of a device path).
    std::string fileFor(const Reader& reader) const {
        const std::string port = reader.portName().portNumber() != 0
                                     ? reader.label()
                                     : reader.portName().device().filename().string();
        std::string name = output_;
        const std::string field = kPortField;
        for (std::size_t at = name.find(field); at != std::string::npos;
             at = name.find(field, at + port.size())) {
            name.replace(at, field.size(), port);
        }
        return name;
    }

    std::string output_;
    bool force_ = false;
    std::string base_;
    SettingsImage image_;
    std::map<const Reader*, std::shared_ptr<SettingsImage>> readBacks_;
};

} // namespace

std::unique_ptr<Command> makeReadCommand() {
    return std::make_unique<ReadCommand>();
}

#include "cli/DeviceCommand.h"
#include "cli/ExitCode.h"
#include "cli/Reader.h"
#include "operations/DeviceTransaction.h"
#include "settings/SettingsImage.h"

#include <memory>

namespace {

// r550ctl program FILE (--port N|PATH... | --all | --keyboard) [--verify]: the window's
// "Programming all settings" with FILE's block: six write blocks to each reader on a serial port,
// or the 21-entry batch through the keyboard controller. --verify reads each reader back
// afterwards; a setting that differs makes it differ.
class ProgramCommand final : public DeviceCommand {
public:
    ProgramCommand() : DeviceCommand(true, {"differences", "backup_file"}) {}

protected:
    std::vector<CommandOption> ownOptions() override {
        return {{"FILE", "The settings file to program", &file_, "", true},
                {"--verify", "Read each reader back afterwards and list what differs", &verify_},
                anyLengthOption(),
                allowInvalidOption(),
                backupOption()};
    }

    std::optional<int> prepare(CommandContext& context) override {
        if (verify_ && viaKeyboard()) {
            context.error("--verify: a reader in the keyboard line cannot be read back.");
            return ExitCode::kUsage;
        }
        if (!loadSettingsFile(context, file_, image_) || !programmable(context, file_, image_)) {
            return ExitCode::kUsage;
        }
        return std::nullopt;
    }

    void begin(Reader& reader) override {
        afterBackup(reader, [this, &reader](std::shared_ptr<const SettingsImage> held) {
            program(reader, std::move(held));
        });
    }

private:
    void program(Reader& reader, std::shared_ptr<const SettingsImage> held) {
        DeviceTransaction transaction =
            reader.keyboardLine() ? DeviceTransaction::programViaKeyboard(image_)
                                  : DeviceTransaction::programViaSerial(image_, reader.portName());
        reader.run(std::move(transaction), "programming",
                   [this, &reader, held](const Outcome& outcome) {
                       const bool done = reader.result.take(outcome);
                       logWrite(reader, "program", image_, held.get(), "all");
                       if (done && verify_) {
                           verify(reader);
                       }
                   });
    }

    void verify(Reader& reader) {
        auto readBack = std::make_shared<SettingsImage>(image_);
        reader.run(
            DeviceTransaction::loadMainSettings(reader.portName()), "verifying",
            [this, readBack, &reader](const Outcome& outcome) {
                if (reader.result.take(outcome)) {
                    recordDifferences(reader, image_, *readBack);
                } else {
                    reader.result.reason =
                        "programmed, but the read-back failed: " + reader.result.reason;
                }
            },
            readBack.get());
    }

    std::string file_;
    bool verify_ = false;
    SettingsImage image_;
};

} // namespace

std::unique_ptr<Command> makeProgramCommand() {
    return std::make_unique<ProgramCommand>();
}

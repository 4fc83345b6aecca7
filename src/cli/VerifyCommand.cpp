#include "cli/DeviceCommand.h"
#include "cli/ExitCode.h"
#include "cli/Reader.h"
#include "operations/DeviceTransaction.h"
#include "settings/SettingsImage.h"

#include <memory>

namespace {

// r550ctl verify FILE (--port N|PATH... | --all): reads each reader's main settings back (the
// three read blocks of the window's Load Main Setting) over FILE's block and lists, by name, every
// setting the reader holds differently. Only the settings the read-back covers can differ, since
// the rest of the block is FILE's own.
class VerifyCommand final : public DeviceCommand {
public:
    VerifyCommand() : DeviceCommand(false, {"differences"}) {}

protected:
    std::vector<CommandOption> ownOptions() override {
        return {{"FILE", "The settings file to compare the readers with", &file_, "", true},
                anyLengthOption()};
    }

    std::optional<int> prepare(CommandContext& context) override {
        return loadSettingsFile(context, file_, image_) ? std::nullopt
                                                        : std::optional<int>(ExitCode::kUsage);
    }

    void begin(Reader& reader) override {
        auto readBack = std::make_shared<SettingsImage>(image_);
        reader.run(
            DeviceTransaction::loadMainSettings(reader.portName()), "reading",
            [this, readBack, &reader](const Outcome& outcome) {
                if (reader.result.take(outcome)) {
                    recordDifferences(reader, image_, *readBack);
                }
            },
            readBack.get());
    }

private:
    std::string file_;
    SettingsImage image_;
};

} // namespace

std::unique_ptr<Command> makeVerifyCommand() {
    return std::make_unique<VerifyCommand>();
}

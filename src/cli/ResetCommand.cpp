#include "cli/DeviceCommand.h"
#include "cli/Reader.h"
#include "operations/DeviceTransaction.h"
#include "settings/FactoryDefaults.h"

namespace {

// r550ctl reset (--port N|PATH... | --all | --keyboard): the window's factory reset, on each
// reader's serial port or through the keyboard controller (port 0x60). --backup keeps what each
// reader held first.
class ResetCommand final : public DeviceCommand {
public:
    ResetCommand() : DeviceCommand(true, {"backup_file"}) {}

protected:
    std::vector<CommandOption> ownOptions() override { return {backupOption()}; }

    void begin(Reader& reader) override {
        afterBackup(reader, [&reader](std::shared_ptr<const SettingsImage> held) {
            reader.run(reader.keyboardLine() ? DeviceTransaction::resetReaderInKeyboardLine()
                                             : DeviceTransaction::resetReader(reader.portName()),
                       "resetting", [&reader, held](const Outcome& outcome) {
                           reader.result.take(outcome);
                           logWrite(reader, "reset", factoryBlock(), held.get(), "factory");
                       });
        });
    }
};

} // namespace

std::unique_ptr<Command> makeResetCommand() {
    return std::make_unique<ResetCommand>();
}

#include "cli/DeviceCommand.h"
#include "cli/Reader.h"
#include "operations/DeviceTransaction.h"

namespace {

// r550ctl reset (--port N|PATH... | --all | --keyboard): the window's factory reset, on each
// reader's serial port or through the keyboard controller (port 0x60).
class ResetCommand final : public DeviceCommand {
public:
    ResetCommand() : DeviceCommand(true, {}) {}

protected:
    void begin(Reader& reader) override {
        reader.run(reader.keyboardLine() ? DeviceTransaction::resetReaderInKeyboardLine()
                                         : DeviceTransaction::resetReader(reader.portName()),
                   "resetting", [&reader](const Outcome& outcome) { reader.result.take(outcome); });
    }
};

} // namespace

std::unique_ptr<Command> makeResetCommand() {
    return std::make_unique<ResetCommand>();
}

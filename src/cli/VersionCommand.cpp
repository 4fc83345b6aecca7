#include "cli/DeviceCommand.h"
#include "cli/Reader.h"
#include "operations/DeviceTransaction.h"
#include "settings/CodeText.h"

#include <span>

namespace {

// r550ctl version (--port N|PATH... | --all): each reader's firmware version text, with the
// window's version query.
class VersionCommand final : public DeviceCommand {
public:
    VersionCommand() : DeviceCommand(false, {"version"}) {}

protected:
    void begin(Reader& reader) override {
        reader.run(DeviceTransaction::firmwareVersion(reader.portName()), "version",
                   [&reader](const Outcome& outcome) {
                       if (!reader.result.take(outcome)) {
                           return;
                       }
                       // The reader's bytes as the pages show codes: a stray control code
                       // shows as {n} instead of acting on the terminal.
                       const std::string text = CodeText::format(std::span<const std::uint8_t>(
                           reinterpret_cast<const std::uint8_t*>(outcome.versionText.data()),
                           outcome.versionText.size()));
                       reader.result.detail = text;
                       reader.result.extra["version"] = text;
                   });
    }
};

} // namespace

std::unique_ptr<Command> makeVersionCommand() {
    return std::make_unique<VersionCommand>();
}

#include "cli/ProgramCommand.h"

#include "cli/ExitCode.h"
#include "cli/ReaderSession.h"
#include "cli/VerifyCommand.h"
#include "operations/DeviceTransaction.h"

#include <memory>

void ProgramCommand::defineOwn(CLI::App& subcommand) {
    subcommand.add_option("FILE", file_, "The settings file to program")->required();
    subcommand.add_flag("--verify", verify_,
                        "Read each reader back afterwards; a setting that differs fails it");
}

std::optional<int> ProgramCommand::prepare(CommandContext& context) {
    if (verify_ && viaKeyboard()) {
        context.error("--verify: a reader in the keyboard line cannot be read back");
        return ExitCode::kUsage;
    }
    if (!loadSettingsFile(context, file_, image_)) {
        return ExitCode::kUsage;
    }
    return std::nullopt;
}

void ProgramCommand::begin(ReaderSession& session) {
    DeviceTransaction transaction =
        session.keyboardLine()
            ? DeviceTransaction::programViaKeyboard(image_)
            : DeviceTransaction::programViaSerial(image_, session.transferPort());
    session.run(std::move(transaction), "programming",
                [this](ReaderSession& reader, const Outcome& outcome) {
                    if (record(reader, outcome) && verify_) {
                        verify(reader);
                    }
                });
}

void ProgramCommand::verify(ReaderSession& session) {
    auto readBack = std::make_shared<SettingsImage>(image_);
    session.run(
        DeviceTransaction::loadMainSettings(session.transferPort()), "verifying",
        [this, readBack](ReaderSession& reader, const Outcome& outcome) {
            if (record(reader, outcome)) {
                VerifyCommand::recordDifferences(reader, image_, *readBack);
            } else {
                reader.result.reason =
                    "programmed, but the read-back failed: " + reader.result.reason;
            }
        },
        readBack.get());
}

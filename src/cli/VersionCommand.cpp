#include "cli/VersionCommand.h"

#include "cli/ReaderSession.h"
#include "operations/DeviceTransaction.h"
#include "settings/CodeText.h"

#include <span>

void VersionCommand::defineOwn(CLI::App& /*subcommand*/) {}

void VersionCommand::begin(ReaderSession& session) {
    session.run(DeviceTransaction::firmwareVersion(session.transferPort()), "version",
                [](ReaderSession& reader, const Outcome& outcome) {
                    if (!record(reader, outcome)) {
                        return;
                    }
                    // The reader's bytes as the pages show codes: a stray control code shows
                    // as {n} instead of acting on the terminal.
                    const std::string text = CodeText::format(std::span<const std::uint8_t>(
                        reinterpret_cast<const std::uint8_t*>(outcome.versionText.data()),
                        outcome.versionText.size()));
                    reader.result.detail = text;
                    reader.result.extra["version"] = text;
                });
}

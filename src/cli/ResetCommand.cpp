#include "cli/ResetCommand.h"

#include "cli/ReaderSession.h"
#include "operations/DeviceTransaction.h"

void ResetCommand::defineOwn(CLI::App& /*subcommand*/) {}

void ResetCommand::begin(ReaderSession& session) {
    // In the keyboard line the frame goes to port 0x60 (the session's port is the keyboard line).
    session.run(DeviceTransaction::resetReader(session.transferPort()), "resetting",
                [](ReaderSession& reader, const Outcome& outcome) { record(reader, outcome); });
}

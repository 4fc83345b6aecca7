#pragma once

#include "cli/FieldValue.h"
#include "cli/ReaderResult.h"
#include "operations/ReaderSession.h"

#include <string>
#include <vector>

// One reader of an r550ctl device command: the session that runs its transactions, and the
// result the command makes of them.
class Reader final : public ReaderSession {
public:
    using ReaderSession::ReaderSession;

    ReaderResult result;

    // Once the loop is over: the time the reader took, and an interruption or an abandoned line
    // in place of whatever the command had made of it.
    void settle();
    // While it runs, what it is doing; then how it ended: "done", "failed: why", "differs", ...
    std::string progress() const override;

    // Its row of the results: port, device, outcome, time, reason or detail; then a row of one
    // cell for each line the command added.
    std::vector<std::vector<std::string>> rows() const;
    // Its JSON object, with the command's own keys (null where it has none).
    Record record(const std::vector<std::string>& ownKeys) const;
};

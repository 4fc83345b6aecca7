#pragma once

#include "cli/ReaderResult.h"
#include "operations/ReaderSession.h"

#include <string>

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
};

#include "cli/Reader.h"

void Reader::settle() {
    result.milliseconds = elapsedMs();
    if (interrupted()) {
        result.status = ReaderResult::Status::Interrupted;
        result.error.clear();
        result.reason.clear();
    } else if (!abandonedFor().empty()) {
        result.fail("cannot_watch", abandonedFor());
    }
}

std::string Reader::progress() const {
    if (interrupted()) {
        return "interrupted";
    }
    if (!abandonedFor().empty()) {
        return "failed: " + abandonedFor();
    }
    if (running() || !begun()) {
        return ReaderSession::progress();
    }
    switch (result.status) {
    case ReaderResult::Status::Ok:
        return "done";
    case ReaderResult::Status::Failed:
        return "failed: " + result.reason;
    default:
        return result.outcomeWord();
    }
}

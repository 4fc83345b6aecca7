#include "cli/ReaderResult.h"

#include "cli/ExitCode.h"
#include "operations/FailureDescription.h"
#include "operations/Outcome.h"

#include <utility>

bool ReaderResult::take(const Outcome& outcome) {
    switch (outcome.status) {
    case OutcomeStatus::Done:
        status = Status::Ok;
        error.clear();
        reason.clear();
        return true;
    case OutcomeStatus::Failed:
        fail(failureWord(outcome.failure.kind), briefFailure(outcome.failure));
        return false;
    case OutcomeStatus::Cancelled:
        fail("cancelled", "cancelled");
        return false;
    case OutcomeStatus::NotRun:
    case OutcomeStatus::Dismissed:
        fail("not_run", "not run");
        return false;
    }
    return false;
}

void ReaderResult::fail(std::string errorWord, std::string why) {
    status = Status::Failed;
    error = std::move(errorWord);
    reason = std::move(why);
}

std::string ReaderResult::outcomeWord() const {
    if (!word.empty()) {
        return word;
    }
    switch (status) {
    case Status::Ok:
        return "ok";
    case Status::Failed:
        return "failed";
    case Status::Differs:
        return "differs";
    case Status::Interrupted:
        return "interrupted";
    }
    return "failed";
}

int ReaderResult::exitCode(const std::vector<const ReaderResult*>& results, bool interrupted) {
    if (interrupted) {
        return ExitCode::kInterrupted;
    }
    int code = ExitCode::kSuccess;
    for (const ReaderResult* result : results) {
        if (result->status == Status::Failed || result->status == Status::Interrupted) {
            return ExitCode::kReaderFailed;
        }
        if (result->status == Status::Differs) {
            code = ExitCode::kDiffers;
        }
    }
    return code;
}

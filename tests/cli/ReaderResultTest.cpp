// The one mapping from a transaction's outcome to a reader's result, and from the readers'
// results to r550ctl's exit status.
#include "cli/ReaderResult.h"

#include "operations/Outcome.h"

#include <vector>

#include <gtest/gtest.h>

TEST(ReaderResult, OutcomesBecomeStatusesAndStatusesTheExitCode) {
    struct Case {
        OutcomeStatus outcome;
        FailureKind kind;
        ReaderResult::Status status;
        const char* error;
    };
    for (const Case& c : std::vector<Case>{
             {OutcomeStatus::Done, FailureKind::None, ReaderResult::Status::Ok, ""},
             {OutcomeStatus::Failed, FailureKind::InUse, ReaderResult::Status::Failed, "in_use"},
             {OutcomeStatus::Cancelled, FailureKind::None, ReaderResult::Status::Failed,
              "cancelled"},
             {OutcomeStatus::Dismissed, FailureKind::None, ReaderResult::Status::Failed, "not_run"},
         }) {
        Outcome outcome;
        outcome.status = c.outcome;
        outcome.failure.kind = c.kind;
        ReaderResult result;
        EXPECT_EQ(result.take(outcome), c.outcome == OutcomeStatus::Done);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(result.reason.empty(), c.outcome == OutcomeStatus::Done);
    }

    ReaderResult ok;
    ok.status = ReaderResult::Status::Ok;
    ReaderResult differs;
    differs.status = ReaderResult::Status::Differs;
    const ReaderResult failed;
    EXPECT_EQ(ReaderResult::exitCode({&ok, &ok}, false), 0);
    EXPECT_EQ(ReaderResult::exitCode({&ok, &differs}, false), 1);
    EXPECT_EQ(ReaderResult::exitCode({&differs, &failed, &ok}, false), 3);
    EXPECT_EQ(ReaderResult::exitCode({&ok}, true), 130);
}

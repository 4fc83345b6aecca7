#include "ui/CommandReports.h"

#include "operations/FailureDescription.h"
#include "ui/OperatorMessages.h"

#include <string>
#include <utility>

namespace {

const char* const kSystemCaption = "System message";
const char* const kProgrammingOk = "Programming all value ok!";
const char* const kKeyboardProgrammingError = "Programming all default value error!";
const char* const kSerialProgrammingError = "Programming all value error!";
const char* const kRs232Only = "This function only for rs232!";
const char* const kLoadError = "Load Error";
const char* const kResetOk = "Reset all to default value ok!";
const char* const kResetError = "Reset all to default value error!";
const char* const kProgrammingStopped = "Programming was stopped before it ended!";

// Programming over RS232 stopped after the reader took some of its frames: what the reader may
// hold now. Empty when it took none, or all.
std::string partlyProgrammed(const Outcome& outcome) {
    const int taken = outcome.framesAcknowledged;
    if (taken <= 0 || taken >= outcome.framesInBatch) {
        return {};
    }
    return "The reader may now hold part of the new settings: program it again. It acknowledged " +
           std::to_string(taken) + " of the " + std::to_string(outcome.framesInBatch) + " frames.";
}

} // namespace

CommandReports::CommandReports(OperatorMessages& messages, std::string applicationName)
    : messages_(messages), applicationName_(std::move(applicationName)) {}

void CommandReports::report(const Outcome& outcome, const char* okText, const char* errorText,
                            const std::string& errorCaption) {
    switch (outcome.status) {
    case OutcomeStatus::NotRun:
    case OutcomeStatus::Dismissed:
        return;
    case OutcomeStatus::Done:
        if (okText != nullptr) {
            messages_.show(okText, kSystemCaption);
        }
        return;
    case OutcomeStatus::Failed:
    case OutcomeStatus::Cancelled:
        // CANCEL is the operator's own doing: the error text without a reason.
        messages_.show(errorText, errorCaption, describeFailure(outcome.failure));
        return;
    }
}

bool CommandReports::refusedOutsideRs232(const Outcome& outcome) {
    if (outcome.status != OutcomeStatus::Failed || outcome.failure.kind != FailureKind::NotRs232) {
        return false;
    }
    messages_.show(kRs232Only, OperatorMessages::kErrorCaption);
    return true;
}

void CommandReports::programming(const Outcome& outcome, Link link) {
    // CANCEL and Escape end the run without a failure of the link: the reader's part is said
    // here. (The keyboard line acknowledges nothing, and CANCEL cannot stop its send.)
    const std::string partly = link == Link::Serial ? partlyProgrammed(outcome) : std::string();
    if (!partly.empty() && outcome.status == OutcomeStatus::Cancelled) {
        messages_.show(kSerialProgrammingError, OperatorMessages::kErrorCaption, partly);
        return;
    }
    if (!partly.empty() && outcome.status == OutcomeStatus::Dismissed) {
        messages_.show(kProgrammingStopped, OperatorMessages::kErrorCaption, partly);
        return;
    }
    report(outcome, kProgrammingOk,
           link == Link::Keyboard ? kKeyboardProgrammingError : kSerialProgrammingError,
           OperatorMessages::kErrorCaption);
}

void CommandReports::readBack(const Outcome& outcome) {
    if (!refusedOutsideRs232(outcome)) {
        report(outcome, nullptr, kLoadError, applicationName_);
    }
}

void CommandReports::firmwareVersion(const Outcome& outcome) {
    if (refusedOutsideRs232(outcome)) {
        return;
    }
    if (outcome.done()) {
        messages_.show(outcome.versionText, applicationName_);
    }
}

void CommandReports::reset(const Outcome& outcome) {
    report(outcome, kResetOk, kResetError, OperatorMessages::kErrorCaption);
}

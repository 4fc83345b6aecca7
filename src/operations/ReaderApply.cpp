#include "operations/ReaderApply.h"

#include "operations/DeviceTransaction.h"
#include "operations/ReadBackCoverage.h"
#include "operations/ReaderSession.h"

#include <utility>

bool ReaderApply::stepDone(const Outcome& outcome, const char* during, Result& result,
                           const Done& done) {
    if (outcome.done()) {
        return true;
    }
    result.ending = Ending::Failed;
    result.failed = outcome;
    result.during = during;
    done(result);
    return false;
}

void ReaderApply::begin(ReaderSession& session, Done done) const {
    auto readBack = std::make_shared<SettingsImage>(file_);
    auto result = std::make_shared<Result>();
    result->readBack = readBack;
    session.run(
        DeviceTransaction::loadMainSettings(session.portName()), "reading",
        [this, &session, readBack, result, done = std::move(done)](const Outcome& outcome) {
            if (!stepDone(outcome, "", *result, done)) {
                return;
            }
            result->differences = ReadBackCoverage::differences(file_, *readBack);
            if (result->differences.empty() || check_) {
                result->ending =
                    result->differences.empty() ? Ending::Unchanged : Ending::WouldChange;
                done(*result);
                return;
            }
            program(session, result, done);
        },
        readBack.get());
}

void ReaderApply::program(ReaderSession& session, std::shared_ptr<Result> result, Done done) const {
    result->changed = true;
    session.run(DeviceTransaction::programViaSerial(file_, session.portName()), "programming",
                [this, &session, result, done = std::move(done)](const Outcome& outcome) {
                    // The failure's own wording says when the reader may hold part of the file.
                    if (stepDone(outcome, "while programming: ", *result, done)) {
                        verify(session, result, done);
                    }
                });
}

void ReaderApply::verify(ReaderSession& session, std::shared_ptr<Result> result, Done done) const {
    auto readBack = std::make_shared<SettingsImage>(file_);
    session.run(
        DeviceTransaction::loadMainSettings(session.portName()), "verifying",
        [this, readBack, result, done = std::move(done)](const Outcome& outcome) {
            if (!stepDone(outcome, "programmed, but the read-back failed: ", *result, done)) {
                return;
            }
            result->left = ReadBackCoverage::differences(file_, *readBack);
            result->ending = result->left.empty() ? Ending::Changed : Ending::Differs;
            done(*result);
        },
        readBack.get());
}

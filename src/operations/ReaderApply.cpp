#include "operations/ReaderApply.h"

#include "operations/DeviceTransaction.h"
#include "operations/ReadBackCoverage.h"
#include "operations/ReaderSession.h"
#include "settings/FactoryDefaults.h"

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

std::shared_ptr<const SettingsImage> ReaderApply::targetFor(const SettingsImage& readBack) const {
    if (whole_) {
        return std::make_shared<const SettingsImage>(file_);
    }
    auto target = std::make_shared<SettingsImage>(readBack);
    std::string ignored; // every assignment was checked when it was read
    for (const SettingAssignment& assignment : named_) {
        assignment.apply(*target, ignored);
    }
    return target;
}

void ReaderApply::begin(ReaderSession& session, Done done) const {
    auto readBack = std::make_shared<SettingsImage>(factoryBlock());
    auto result = std::make_shared<Result>();
    result->readBack = readBack;
    session.run(
        DeviceTransaction::loadMainSettings(session.portName()), "reading",
        [this, &session, readBack, result, done = std::move(done)](const Outcome& outcome) {
            if (!stepDone(outcome, "", *result, done)) {
                return;
            }
            result->target = targetFor(*readBack);
            result->differences = ReadBackCoverage::differences(*result->target, *readBack);
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
    if (beforeWrite_ && !beforeWrite_(session, *result->readBack)) {
        result->ending = Ending::Failed;
        result->stopped = true;
        done(*result);
        return;
    }
    result->changed = true;
    session.run(DeviceTransaction::programViaSerial(*result->target, session.portName()),
                "programming",
                [this, &session, result, done = std::move(done)](const Outcome& outcome) {
                    // The failure's own wording says when the reader may hold part of the file.
                    if (stepDone(outcome, "while programming: ", *result, done)) {
                        verify(session, result, done);
                    }
                });
}

void ReaderApply::verify(ReaderSession& session, std::shared_ptr<Result> result, Done done) const {
    auto readBack = std::make_shared<SettingsImage>(*result->target);
    session.run(
        DeviceTransaction::loadMainSettings(session.portName()), "verifying",
        [readBack, result, done = std::move(done)](const Outcome& outcome) {
            if (!stepDone(outcome, "programmed, but the read-back failed: ", *result, done)) {
                return;
            }
            result->left = ReadBackCoverage::differences(*result->target, *readBack);
            result->ending = result->left.empty() ? Ending::Changed : Ending::Differs;
            done(*result);
        },
        readBack.get());
}

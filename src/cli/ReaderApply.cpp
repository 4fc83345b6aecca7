#include "cli/ReaderApply.h"

#include "cli/Reader.h"
#include "cli/SettingRecord.h"
#include "operations/DeviceTransaction.h"
#include "operations/FailureDescription.h"
#include "operations/Outcome.h"
#include "operations/ReadBackCoverage.h"

#include <algorithm>
#include <memory>

namespace {

using Json = nlohmann::ordered_json;

void settle(ReaderResult& result, ReaderResult::Status status, const std::string& word,
            bool changed) {
    result.status = status;
    result.word = word;
    result.extra["changed"] = changed;
    if (status != ReaderResult::Status::Failed) {
        result.error.clear();
        result.reason.clear();
    }
}

// A step that did not end done fails the reader; true when it did end done.
bool stepDone(Reader& session, const Outcome& outcome, const std::string& before, bool changed) {
    if (outcome.done()) {
        return true;
    }
    ReaderResult& result = session.result;
    settle(result, ReaderResult::Status::Failed, "failed", changed);
    if (outcome.status == OutcomeStatus::Failed) {
        result.reason = before + briefFailure(outcome.failure);
        result.error = failureWord(outcome.failure.kind);
    } else {
        result.reason = before + "cancelled";
        result.error = "cancelled";
    }
    return false;
}

std::string countOf(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " setting" : " settings");
}

} // namespace

void ReaderApply::begin(Reader& session) const {
    ReaderResult& result = session.result;
    result.error.clear();
    result.extra["changed"] = false;
    result.extra["differences"] = Json::array();
    auto readBack = std::make_shared<SettingsImage>(file_);
    session.run(
        DeviceTransaction::loadMainSettings(session.portName()), "reading",
        [this, readBack, &reader = session](const Outcome& outcome) {
            if (!stepDone(reader, outcome, "", false)) {
                return;
            }
            ReaderResult& own = reader.result;
            const std::vector<SettingDifference> found =
                ReadBackCoverage::differences(file_, *readBack);
            for (const SettingDifference& difference : found) {
                const NamedSetting& setting = *difference.setting;
                own.extra["differences"].push_back(
                    {{"name", setting.name},
                     {"reader", SettingRecord::value(setting, *readBack)},
                     {"file", SettingRecord::value(setting, file_)}});
                if (options_.listDifferences) {
                    own.lines.push_back(std::string(setting.name) + ": " + difference.second +
                                        " → " + difference.first);
                }
            }
            if (found.empty()) {
                settle(own, ReaderResult::Status::Ok, "unchanged", false);
            } else if (options_.check) {
                settle(own, ReaderResult::Status::Ok, "would change", false);
                own.detail = countOf(found.size()) + " to change";
            } else {
                own.detail = countOf(found.size()) + " changed";
                program(reader);
            }
        },
        readBack.get());
}

void ReaderApply::program(Reader& session) const {
    session.run(DeviceTransaction::programViaSerial(file_, session.portName()), "programming",
                [this, &reader = session](const Outcome& outcome) {
                    // The failure's own wording says when the reader may hold part of the file.
                    if (stepDone(reader, outcome, "while programming: ", true)) {
                        verify(reader);
                    }
                });
}

void ReaderApply::verify(Reader& session) const {
    auto readBack = std::make_shared<SettingsImage>(file_);
    session.run(
        DeviceTransaction::loadMainSettings(session.portName()), "verifying",
        [this, readBack, &reader = session](const Outcome& outcome) {
            if (!stepDone(reader, outcome, "programmed, but the read-back failed: ", true)) {
                return;
            }
            const std::vector<SettingDifference> left =
                ReadBackCoverage::differences(file_, *readBack);
            if (left.empty()) {
                settle(reader.result, ReaderResult::Status::Ok, "changed", true);
                return;
            }
            std::string names;
            for (const SettingDifference& difference : left) {
                names += (names.empty() ? "" : ", ") + std::string(difference.setting->name);
            }
            settle(reader.result, ReaderResult::Status::Differs, "differs", true);
            reader.result.reason = countOf(left.size()) +
                                   (left.size() == 1 ? " still differs" : " still differ") +
                                   " after programming: " + names;
        },
        readBack.get());
}

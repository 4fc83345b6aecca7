#include "cli/ReaderApply.h"

#include "cli/ReaderSession.h"
#include "operations/DeviceTransaction.h"
#include "operations/FailureDescription.h"
#include "operations/Outcome.h"
#include "operations/ReadBackCoverage.h"

#include <algorithm>
#include <memory>

namespace {

using Json = nlohmann::ordered_json;

// A setting's value for JSON: a flag as a boolean, a number as a number, a choice as its word
// (the number when it is none of them), a code list as its codes.
Json typedValue(const NamedSetting& setting, const SettingsImage& image) {
    const std::uint8_t byte = image.at(setting.offset);
    switch (setting.kind) {
    case SettingKind::Flag:
        return (byte & setting.mask) != 0;
    case SettingKind::Byte:
        return byte & setting.mask;
    case SettingKind::Choice:
        for (const SettingChoice& choice : setting.choices) {
            if (choice.value == (byte & setting.mask)) {
                return std::string(choice.token);
            }
        }
        return byte & setting.mask;
    case SettingKind::CodeList:
        break;
    }
    Json codes = Json::array();
    const int count = std::min<int>(byte, SettingsImage::kMaxCodes);
    for (int i = 1; i <= count; ++i) {
        codes.push_back(image.at(setting.offset + static_cast<std::size_t>(i)));
    }
    return codes;
}

void settle(ReaderResult& result, ReaderResult::Status status, const std::string& word,
            bool changed) {
    result.status = status;
    result.word = word;
    result.extra["changed"] = changed;
    if (status != ReaderResult::Status::Failed) {
        result.extra["error"] = nullptr;
        result.reason.clear();
    }
}

// A step that did not end done fails the reader; true when it did end done.
bool stepDone(ReaderSession& session, const Outcome& outcome, const std::string& before,
              bool changed) {
    if (outcome.done()) {
        return true;
    }
    ReaderResult& result = session.result;
    settle(result, ReaderResult::Status::Failed, "failed", changed);
    if (outcome.status == OutcomeStatus::Failed) {
        result.reason = before + briefFailure(outcome.failure);
        result.extra["error"] = ReaderApply::errorWord(outcome.failure);
    } else {
        result.reason = before + "cancelled";
        result.extra["error"] = "cancelled";
    }
    return false;
}

std::string countOf(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " setting" : " settings");
}

} // namespace

void ReaderApply::begin(ReaderSession& session) const {
    ReaderResult& result = session.result;
    result.extra["error"] = nullptr;
    result.extra["changed"] = false;
    result.extra["differences"] = Json::array();
    auto readBack = std::make_shared<SettingsImage>(file_);
    session.run(
        DeviceTransaction::loadMainSettings(session.transferPort()), "reading",
        [this, readBack](ReaderSession& reader, const Outcome& outcome) {
            if (!stepDone(reader, outcome, "", false)) {
                return;
            }
            ReaderResult& own = reader.result;
            const std::vector<SettingDifference> found =
                ReadBackCoverage::differences(file_, *readBack);
            for (const SettingDifference& difference : found) {
                const NamedSetting& setting = *difference.setting;
                own.extra["differences"].push_back({{"name", setting.name},
                                                    {"reader", typedValue(setting, *readBack)},
                                                    {"file", typedValue(setting, file_)}});
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

void ReaderApply::program(ReaderSession& session) const {
    session.run(DeviceTransaction::programViaSerial(file_, session.transferPort()), "programming",
                [this](ReaderSession& reader, const Outcome& outcome) {
                    // A reader cut short after its first frame may hold part of the file.
                    if (stepDone(reader, outcome,
                                 "while programming (the reader may hold "
                                 "part of the new settings): ",
                                 true)) {
                        verify(reader);
                    }
                });
}

void ReaderApply::verify(ReaderSession& session) const {
    auto readBack = std::make_shared<SettingsImage>(file_);
    session.run(
        DeviceTransaction::loadMainSettings(session.transferPort()), "verifying",
        [this, readBack](ReaderSession& reader, const Outcome& outcome) {
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

std::string ReaderApply::errorWord(const Failure& failure) {
    switch (failure.kind) {
    case FailureKind::None:
        return {};
    case FailureKind::NoPortSelected:
        return "no_port_selected";
    case FailureKind::NoSuchPort:
        return "no_device";
    case FailureKind::InUse:
        return "in_use";
    case FailureKind::NoPermission:
        return "no_permission";
    case FailureKind::NotSerial:
        return "not_serial";
    case FailureKind::OpenFailed:
        return "open_failed";
    case FailureKind::Unplugged:
        return "unplugged";
    case FailureKind::NoAnswer:
        return "no_answer";
    case FailureKind::NoReply:
        return "cut_short";
    case FailureKind::UnexpectedAnswer:
        return "unexpected_answer";
    case FailureKind::WriteStalled:
        return "write_stalled";
    case FailureKind::NotRs232:
        return "not_rs232";
    case FailureKind::NoKeyboardAccess:
        return "no_keyboard_access";
    case FailureKind::KeyboardAccessRefused:
        return "keyboard_access_refused";
    case FailureKind::KeyboardHelperLost:
        return "keyboard_access_lost";
    case FailureKind::KeyboardInUse:
        return "keyboard_in_use";
    case FailureKind::PortIoSettingUnknown:
        return "port_io_unknown";
    }
    return "failed";
}

#include "cli/Reader.h"

#include "cli/CommandContext.h"

namespace {

// How far a programming run that Ctrl+C stopped got, as an unplugged reader's note says it:
// "interrupted after 2 of 6 frames were acknowledged; the reader may hold part of the new
// settings". Other transactions change nothing on the reader: "interrupted".
std::string cutShortText(const ReaderSession::CutShort& cut) {
    if (!cut.writes) {
        return "interrupted";
    }
    if (!cut.sent) {
        return "interrupted before any frame was sent; the reader's settings are as they were";
    }
    const std::string done = cut.keyboard ? " were sent" : " were acknowledged";
    if (cut.answered >= cut.frames) {
        return "interrupted after all " + std::to_string(cut.frames) + " frames" + done;
    }
    return "interrupted after " + std::to_string(cut.answered) + " of " +
           std::to_string(cut.frames) + " frames" + done +
           "; the reader may hold part of the new settings";
}

} // namespace

void Reader::settle() {
    result.milliseconds = elapsedMs();
    if (interrupted()) {
        result.status = ReaderResult::Status::Interrupted;
        result.error = "interrupted";
        result.reason = cutShortText(cutShort());
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

std::vector<std::vector<std::string>> Reader::rows() const {
    std::vector<std::vector<std::string>> rows{
        {label(), device().empty() ? "-" : device(), result.outcomeWord(),
         std::to_string(result.milliseconds) + " ms",
         result.reason.empty() ? result.detail : result.reason}};
    for (const std::string& line : result.lines) {
        rows.push_back({"  " + line});
    }
    return rows;
}

nlohmann::ordered_json Reader::json(const std::vector<std::string>& ownKeys) const {
    nlohmann::ordered_json object{{"port", label()},
                                  {"device", CommandContext::textOrNull(device())},
                                  {"outcome", result.outcomeWord()},
                                  {"error", CommandContext::textOrNull(result.error)},
                                  {"reason", CommandContext::textOrNull(result.reason)},
                                  {"ms", result.milliseconds}};
    for (const std::string& key : ownKeys) {
        object[key] = result.extra.contains(key) ? result.extra[key] : nullptr;
    }
    return object;
}

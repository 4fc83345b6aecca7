#include "cli/Reader.h"

#include "cli/RecordTable.h"

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

const RecordField<Reader> kFields[] = {
    {"port", "PORT", FieldType::Text, [](const Reader& r) { return FieldValue(r.label()); }},
    {"device", "DEVICE", FieldType::Text,
     [](const Reader& r) { return FieldValue::textOrNull(r.device()); }},
    {"outcome", "OUTCOME", FieldType::Text,
     [](const Reader& r) { return FieldValue(r.result.outcomeWord()); }},
    {"error", "", FieldType::Text,
     [](const Reader& r) { return FieldValue::textOrNull(r.result.error); }},
    {"reason", "", FieldType::Text,
     [](const Reader& r) { return FieldValue::textOrNull(r.result.reason); }},
    {"ms", "TIME", FieldType::Number,
     [](const Reader& r) { return FieldValue(r.result.milliseconds); },
     [](const Reader& r) { return std::to_string(r.result.milliseconds) + " ms"; }},
    {"", "NOTE", FieldType::Text, nullptr,
     [](const Reader& r) { return r.result.reason.empty() ? r.result.detail : r.result.reason; }},
};

// The lines the command added, each under the reader's line.
std::vector<std::string> addedLines(const Reader& reader) {
    std::vector<std::string> lines;
    for (const std::string& line : reader.result.lines) {
        lines.push_back("  " + line);
    }
    return lines;
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
    return RecordTable<Reader>(kFields, addedLines).rows(*this);
}

Record Reader::record(const std::vector<std::string>& ownKeys) const {
    Record record = RecordTable<Reader>(kFields).record(*this);
    for (const std::string& key : ownKeys) {
        const auto own = result.extra.find(key);
        record.emplace_back(key, own != result.extra.end() ? own->second : FieldValue());
    }
    return record;
}

#include "cli/SwipeReport.h"

#include "settings/CodeText.h"
#include "swipe/CardFormat.h"
#include "swipe/SwipeText.h"

#include <iterator>
#include <nlohmann/json.hpp>

namespace {

// Each field of a track with its JSON key, in the order they come.
struct CardFieldKey {
    const char* name;
    const char* key;
};
constexpr CardFieldKey kCardFieldKeys[] = {
    {CardFormat::kAccountNumber, "account_number"},
    {CardFormat::kName, "name"},
    {CardFormat::kExpiry, "expiry"},
    {CardFormat::kServiceCode, "service_code"},
    {CardFormat::kDiscretionaryData, "discretionary_data"},
};
static_assert(std::size(kCardFieldKeys) == CardFormat::kFieldNames.size());

const char* keyOf(const std::string& name) {
    for (const CardFieldKey& field : kCardFieldKeys) {
        if (name == field.name) {
            return field.key;
        }
    }
    return nullptr;
}

nlohmann::ordered_json trackJson(const DecodedSwipe& swipe, const DecodedTrack& track,
                                 bool showNumbers) {
    nlohmann::ordered_json object;
    object["track"] = track.number;
    object["format"] =
        track.format.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(track.format);
    object["sentinels"] = track.sentinels;
    object["data"] = SwipeText::codes(swipe, track.begin, track.end, showNumbers);
    for (const CardFieldKey& field : kCardFieldKeys) {
        object[field.key] = nullptr;
    }
    for (const CardField& field : track.fields) {
        if (const char* key = keyOf(field.name)) {
            object[key] = SwipeText::codes(swipe, field.begin, field.end, showNumbers);
        }
    }
    object["luhn_valid"] = track.luhnValid ? nlohmann::ordered_json(*track.luhnValid) : nullptr;
    return object;
}

} // namespace

void SwipeReport::addJson(nlohmann::ordered_json& object, const DecodedSwipe& swipe,
                          bool showNumbers) {
    const std::string text = SwipeText::codes(swipe, showNumbers);
    object["text"] = text;
    object["hex"] = CodeText::hex(SwipeText::shownBytes(swipe, showNumbers));
    object["length"] = swipe.bytes.size();
    nlohmann::ordered_json parts = nlohmann::ordered_json::array();
    for (const SwipeText::Piece& piece : SwipeText::pieces(swipe, showNumbers)) {
        if (piece.part != SwipePart::Data) {
            nlohmann::ordered_json entry;
            entry["part"] = SwipeText::partWord(piece.part);
            entry["track"] =
                piece.track == 0 ? nlohmann::ordered_json() : nlohmann::ordered_json(piece.track);
            entry["text"] = piece.text;
            parts.push_back(entry);
        }
    }
    object["parts"] = parts;
    nlohmann::ordered_json tracks = nlohmann::ordered_json::array();
    for (const DecodedTrack& track : swipe.tracks) {
        tracks.push_back(trackJson(swipe, track, showNumbers));
    }
    object["tracks"] = tracks;
}

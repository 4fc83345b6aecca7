#pragma once

#include "swipe/DecodedSwipe.h"

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

// `r550ctl monitor --decode`: a decoded swipe as lines of text or as one JSON object's members.
// Card numbers are hidden to their first six and last four digits unless `showNumbers` is set.
class SwipeReport {
public:
    // The swipe's code text, then an indented line per marked part and per track with its
    // fields: "  track 1, ISO 7813 format B: account number 411111******1111 (Luhn passes), ...".
    static std::vector<std::string> lines(const DecodedSwipe& swipe, bool showNumbers);
    // Adds "text", "hex", "length", "parts" (each {"part", "track", "text"}) and "tracks" (each
    // with "track", "format", "sentinels", "data", "account_number", "name", "expiry",
    // "service_code", "discretionary_data", "luhn_valid"; null where the track has none).
    static void addJson(nlohmann::ordered_json& object, const DecodedSwipe& swipe,
                        bool showNumbers);
};

#pragma once

#include "swipe/DecodedSwipe.h"

#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

// `r550ctl monitor --decode --json`: a decoded swipe as one JSON object's members.
// Card numbers are hidden to their first six and last four digits unless `showNumbers` is set.
class SwipeReport {
public:
    // Adds "text", "hex", "length", "parts" (each {"part", "track", "text"}) and "tracks" (each
    // with "track", "format", "sentinels", "data", "account_number", "name", "expiry",
    // "service_code", "discretionary_data", "luhn_valid"; null where the track has none).
    static void addJson(nlohmann::ordered_json& object, const DecodedSwipe& swipe,
                        bool showNumbers);
};

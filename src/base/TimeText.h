#pragma once

#include <chrono>
#include <string>

// Local time to the millisecond in ISO 8601, with the offset: 2025-01-31T12:34:56.789+01:00.
std::string isoLocalTime(std::chrono::system_clock::time_point at);

#pragma once

#include "settings/SettingDifferences.h"

#include <string>
#include <vector>

// Differences as "name: first -> second" lines, in their order, to compare in one piece.
inline std::vector<std::string> differenceLines(const std::vector<SettingDifference>& found) {
    std::vector<std::string> lines;
    for (const SettingDifference& difference : found) {
        lines.push_back(std::string(difference.setting->name) + ": " + difference.first + " -> " +
                        difference.second);
    }
    return lines;
}

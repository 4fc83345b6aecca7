#pragma once

#include "settings/NamedSetting.h"
#include "settings/SettingDifferences.h"

#include <vector>

class SettingsImage;

// The named settings that the reader itself holds: those whose bytes the main-settings
// read-back brings back (the byte parameters of slots 10..18 and 20..23 and the eight strings),
// found from the reader's memory map and the table of named settings. The operating mode and the
// COM port live on the PC alone and are never among them. Programming sends the same bytes, so
// these are what a reader can be compared by before anything is written.
class ReadBackCoverage {
public:
    // Whether every byte the setting is read from comes back from the reader.
    static bool covers(const NamedSetting& setting);
    // The covered settings, in the table's order.
    static std::vector<const NamedSetting*> settings();
    // Every covered setting that `file` and `reader` hold differently, in the table's order; the
    // first text of each is the file's, the second the reader's.
    static std::vector<SettingDifference> differences(const SettingsImage& file,
                                                      const SettingsImage& reader);
};

#pragma once

#include "settings/SettingsImage.h"

#include <string>

// Name of the file that holds the factory values; rewritten at every start and after a reset.
inline constexpr const char* kDefaultSettingsFile = "Default.cfg";

// Puts the factory values into the block: the header bytes, then group, sub-code and factory data
// of slots 10..18 and 20..31. Every other byte keeps its value (operating_mode, com_port, slot 19,
// the unused data bytes of each record). Then writes the block to `file`. Returns the result of
// that write (0 or 1). The caller shows the new values.
int applyFactoryDefaults(SettingsImage& image, const std::string& file = kDefaultSettingsFile);

// Only the values, without the file. Used by the simulator too.
void writeFactoryValues(SettingsImage& image);

// The factory values over an all-zero block: the 3060 bytes the window writes to Default.cfg at
// its start (operating_mode and com_port 0, every byte the factory values leave alone 0).
SettingsImage factoryBlock();

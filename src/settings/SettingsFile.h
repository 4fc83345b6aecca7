#pragma once

#include <string>

class SettingsImage;

// Writes the 3060 bytes of the block to `name`. Returns 0 on success and 1 on failure. The bytes
// go to a temporary file in the same folder that is renamed over `name` only once every write, the
// flush and the close have succeeded, so a failed save leaves an existing file as it was.
int writeSettingsFile(const SettingsImage& image, const std::string& name);

// Reads up to 3060 bytes of `name` into the start of the block: a short file replaces only its own
// length, bytes beyond 3060 are ignored, nothing is checked. Returns 0, or -1 when the file cannot
// be opened or read (the block is then unchanged).
int readSettingsFile(SettingsImage& image, const std::string& name);

#pragma once

#include <string>

class SettingsImage;

// The folder of `--backup DIR`: what a reader held before a write, kept as a settings file that
// `program` puts back. Each file is named by the reader's port (a path's '/' as '_') and the
// local time to the millisecond, with a counter where that name is taken
// ("COM3-2025-01-31T12:34:56.789+01:00.cfg", "..._dev_ttyUSB0-...-2.cfg"); a backup never
// replaces a file.
class BackupFolder {
public:
    explicit BackupFolder(std::string folder) : folder_(std::move(folder)) {}

    // Whether backups can be written there, told before anything is sent: false with the reason.
    bool usable(std::string& reason) const;
    // Saves `image` as the backup of the reader at `port`: the file's path, or empty with the
    // reason.
    std::string save(const SettingsImage& image, const std::string& port,
                     std::string& reason) const;

private:
    std::string folder_;
};

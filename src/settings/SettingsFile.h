#pragma once

#include <cstdint>
#include <string>

class SettingsImage;

// What a read or write of a settings file found, beside its return code: why it failed, in a
// sentence that names the file ("/tmp/x is a named pipe, not a settings file"), and for a read the
// file's length.
struct SettingsFileReport {
    // Empty on success.
    std::string reason;
    // The system's error number where a call failed; 0 on success and when the file was refused
    // for what it is (a folder, a named pipe, ...).
    int error = 0;
    // A read found no file at all (nor a link to one).
    bool missing = false;
    // A read: the length of the file in bytes.
    std::uintmax_t size = 0;
};

// Writes the 3060 bytes of the block to `name`. Returns 0 on success and 1 on failure. The bytes
// go to a temporary file in the same folder that is renamed over `name` only once every write, the
// flush and the close have succeeded, so a failed save leaves an existing file as it was.
//
// A settings file replaces only a regular file, the regular file a symbolic link leads to (the
// link stays), or nothing. A named pipe, device, socket, folder or a link that leads nowhere is
// refused before anything is created or changed, and so is a symbolic link (or any link of a
// chain of them) whose owner is neither this effective user nor root. The new file keeps the owner,
// group and mode of the one it replaces, as far as this user may give them. Where the folder takes
// no new file but the file itself may be written, the file is rewritten in place.
int writeSettingsFile(const SettingsImage& image, const std::string& name);
int writeSettingsFile(const SettingsImage& image, const std::string& name,
                      SettingsFileReport& report);

// Whether writeSettingsFile could write `name`, as far as can be told without writing: its folder
// exists and takes a new file (or the file may be rewritten in place) and `name` is nothing, a
// regular file or a link to one. Returns 0 when it could, 1 with the reason otherwise. Nothing is
// created or changed.
int checkSettingsFileTarget(const std::string& name, SettingsFileReport& report);

// Reads up to 3060 bytes of `name` into the start of the block: a short file replaces only its own
// length, bytes beyond 3060 are ignored, nothing is checked. Returns 0, or -1 when the file cannot
// be opened or read or is no regular file (the block is then unchanged).
int readSettingsFile(SettingsImage& image, const std::string& name);
int readSettingsFile(SettingsImage& image, const std::string& name, SettingsFileReport& report);

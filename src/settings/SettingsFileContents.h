#pragma once

#include "settings/SettingsFile.h"
#include "settings/SettingsImage.h"

#include <cstdint>
#include <string>

// A settings file read over the factory values, as r550ctl's commands read one. The window's Load
// takes a file of any length: a short one replaces only its own bytes of the block, and bytes
// beyond 3060 are ignored. The commands read it the same way, over the factory values (the block
// that factoryBlock() gives and `r550ctl new` writes), and tell whether it was exactly one block
// long.
class SettingsFileContents {
public:
    // Reads `path`. False when it cannot be read: it is missing, no regular file, or may not be
    // read; reason() says which, and the block is left as the factory values.
    bool load(const std::string& path);

    const std::string& path() const { return path_; }
    const SettingsImage& image() const { return image_; }
    SettingsImage& image() { return image_; }
    // The file's length in bytes when it was read.
    std::uintmax_t size() const { return report_.size; }
    // True when the file held exactly the 3060 bytes of one block.
    bool wholeBlock() const { return report_.size == SettingsImage::kSize; }
    // Why load() failed, a sentence that names the file: "/tmp/a.cfg does not exist", ...
    const std::string& reason() const { return report_.reason; }
    // True when load() failed because there was no file.
    bool missing() const { return report_.missing; }
    // For a file that is not one block long: "PATH: N bytes, not 3060".
    std::string sizeText() const;
    // The same, and how it was read.
    std::string sizeWarning() const;

private:
    std::string path_;
    SettingsImage image_;
    SettingsFileReport report_;
};

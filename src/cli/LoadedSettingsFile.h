#pragma once

#include "settings/SettingsImage.h"

class CommandContext;

#include <cstdint>
#include <string>

// A settings file as the file commands of r550ctl read it. The window's Load takes a file of any
// length: a short one replaces only its own bytes of the block, and bytes beyond 3060 are
// ignored. The file commands read it the same way, over the factory values (the block that
// factoryBlock() gives and `r550ctl new` writes), and tell whether it was exactly one block long.
class LoadedSettingsFile {
public:
    // The factory values over an all-zero block: the 3060 bytes the window writes to Default.cfg
    // at its start (operating_mode and com_port 0, every byte the factory values leave alone 0).
    static SettingsImage factoryBlock();

    // Reads `path`. False when it cannot be read: it is missing, no regular file, or may not be
    // read; reason() says which, and the block is left as the factory values.
    bool load(const std::string& path);

    // load() for show and diff, which read any file: "r550ctl: PATH: REASON" when it cannot be
    // read; when it is not one block long, the size warning as a note.
    bool loadAnyLength(const std::string& path, CommandContext& context);

    const std::string& path() const { return path_; }
    const SettingsImage& image() const { return image_; }
    SettingsImage& image() { return image_; }
    // The file's length in bytes when it was read.
    std::uintmax_t size() const { return size_; }
    // True when the file held exactly the 3060 bytes of one block.
    bool wholeBlock() const { return size_ == SettingsImage::kSize; }
    // Why load() failed: "no such file", "permission denied", ...
    const std::string& reason() const { return reason_; }
    // True when load() failed because there was no file.
    bool missing() const { return missing_; }
    // For a file that is not one block long: its length and how it was read.
    std::string sizeWarning() const;

    // Why writeSettingsFile could not save to `path`, as far as can be told afterwards.
    static std::string saveProblem(const std::string& path);

private:
    std::string path_;
    SettingsImage image_ = factoryBlock();
    std::uintmax_t size_ = 0;
    std::string reason_;
    bool missing_ = false;
};

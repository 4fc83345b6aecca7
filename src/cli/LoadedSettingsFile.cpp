#include "cli/LoadedSettingsFile.h"

#include "cli/CommandContext.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingsFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unistd.h>

SettingsImage LoadedSettingsFile::factoryBlock() {
    SettingsImage image;
    writeFactoryValues(image);
    return image;
}

bool LoadedSettingsFile::load(const std::string& path) {
    path_ = path;
    image_ = factoryBlock();
    size_ = 0;
    reason_.clear();
    missing_ = false;

    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        reason_ = "no such file";
        missing_ = true;
        return false;
    }
    if (error) {
        reason_ = error.message();
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        reason_ = std::filesystem::is_directory(status) ? "a folder, not a settings file"
                                                        : "not a regular file";
        return false;
    }
    if (::access(path.c_str(), R_OK) != 0) {
        reason_ = errno == EACCES ? "permission denied" : std::strerror(errno);
        return false;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || readSettingsFile(image_, path) != 0) {
        image_ = factoryBlock();
        reason_ = "cannot be read";
        return false;
    }
    size_ = size;
    return true;
}

bool LoadedSettingsFile::loadAnyLength(const std::string& path, CommandContext& context) {
    if (!load(path)) {
        context.error(path + ": " + reason_);
        return false;
    }
    if (!wholeBlock()) {
        context.note(sizeWarning());
    }
    return true;
}

std::string LoadedSettingsFile::sizeWarning() const {
    const std::string length = path_ + ": " + std::to_string(size_) + " bytes, not " +
                               std::to_string(SettingsImage::kSize) +
                               "; read as the window's Load ";
    if (size_ == 0) {
        return length + "reads it: nothing, the factory values stand";
    }
    if (size_ < SettingsImage::kSize) {
        return length + "reads it: its " + std::to_string(size_) + " bytes over the factory values";
    }
    return length + "reads it: its first " + std::to_string(SettingsImage::kSize) +
           " bytes, the rest ignored";
}

std::string LoadedSettingsFile::saveProblem(const std::string& path) {
    const std::filesystem::path file(path);
    const std::filesystem::path folder =
        file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    std::error_code error;
    if (std::filesystem::exists(file, error) && ::access(path.c_str(), W_OK) != 0) {
        return "this user may not write it";
    }
    if (!std::filesystem::is_directory(folder, error)) {
        return "its folder " + folder.string() + " does not exist";
    }
    // A save writes a new file beside the old one and renames it over it.
    if (::access(folder.c_str(), W_OK) != 0) {
        return "this user may not create files in " + folder.string();
    }
    return "the write failed";
}

#include "settings/SettingsFileContents.h"

#include "settings/FactoryDefaults.h"

bool SettingsFileContents::load(const std::string& path) {
    path_ = path;
    image_ = factoryBlock();
    if (readSettingsFile(image_, path, report_) != 0) {
        image_ = factoryBlock();
        return false;
    }
    return true;
}

std::string SettingsFileContents::sizeText() const {
    return path_ + ": " + std::to_string(report_.size) + " bytes, not " +
           std::to_string(SettingsImage::kSize);
}

std::string SettingsFileContents::sizeWarning() const {
    const std::uintmax_t size = report_.size;
    const std::string length = sizeText() + "; read as the window's Load ";
    if (size == 0) {
        return length + "reads it: nothing, the factory values stand";
    }
    if (size < SettingsImage::kSize) {
        return length + "reads it: its " + std::to_string(size) + " bytes over the factory values";
    }
    return length + "reads it: its first " + std::to_string(SettingsImage::kSize) +
           " bytes, the rest ignored";
}

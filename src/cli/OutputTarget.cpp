#include "cli/OutputTarget.h"

#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace {

const char* kindName(std::filesystem::file_type type) {
    switch (type) {
    case std::filesystem::file_type::directory:
        return "is a folder";
    case std::filesystem::file_type::fifo:
        return "is a named pipe";
    case std::filesystem::file_type::character:
    case std::filesystem::file_type::block:
        return "is a device";
    case std::filesystem::file_type::socket:
        return "is a socket";
    default:
        return "is no regular file";
    }
}

} // namespace

std::string outputTargetProblem(const std::string& path, bool force) {
    const std::filesystem::path file(path);
    std::error_code error;
    const std::filesystem::file_status entry = std::filesystem::symlink_status(file, error);
    const std::filesystem::file_status target = std::filesystem::status(file, error);
    const bool there = std::filesystem::exists(entry);
    if (std::filesystem::is_symlink(entry) && !std::filesystem::exists(target)) {
        return "is a link to nothing, not a settings file";
    }
    if (there && !std::filesystem::is_regular_file(target)) {
        return std::string(kindName(target.type())) + ", not a settings file";
    }
    if (there && !force) {
        return "exists; --force replaces it";
    }
    const std::filesystem::path folder =
        file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    if (!std::filesystem::is_directory(folder, error)) {
        return "its folder " + folder.string() + " does not exist";
    }
    if (::access(folder.c_str(), W_OK) != 0 && (!there || ::access(path.c_str(), W_OK) != 0)) {
        return "this user may not write in " + folder.string();
    }
    return {};
}

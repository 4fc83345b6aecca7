#include "settings/BackupFolder.h"

#include "base/TimeText.h"
#include "base/UniqueFd.h"
#include "settings/SettingsFile.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMostNames = 1000;

} // namespace

bool BackupFolder::usable(std::string& reason) const {
    struct stat status {};
    if (::stat(folder_.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        reason = "--backup " + folder_ + ": no such folder";
        return false;
    }
    if (::access(folder_.c_str(), W_OK | X_OK) != 0) {
        reason = "--backup " + folder_ + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string BackupFolder::save(const SettingsImage& image, const std::string& port,
                               std::string& reason) const {
    std::string base = port;
    for (char& c : base) {
        c = c == '/' ? '_' : c;
    }
    base = folder_ + "/" + base + "-" + isoLocalTime(std::chrono::system_clock::now());
    for (int counter = 1; counter <= kMostNames; ++counter) {
        const std::string path =
            base + (counter == 1 ? "" : "-" + std::to_string(counter)) + ".cfg";
        // The name is taken before it is written, so that no other backup, made at the same
        // moment, can be replaced by this one.
        UniqueFd taken(
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (!taken.valid() && errno == EEXIST) {
            continue;
        }
        if (!taken.valid()) {
            reason = "backup " + path + ": " + std::strerror(errno);
            return {};
        }
        taken.close();
        SettingsFileReport report;
        if (writeSettingsFile(image, path, report) != 0) {
            ::unlink(path.c_str());
            reason = "backup: " + report.reason;
            return {};
        }
        return path;
    }
    reason = "backup: no free name for " + base + ".cfg";
    return {};
}

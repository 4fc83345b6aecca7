#include "settings/SettingsFile.h"

#include "base/UniqueFd.h"
#include "settings/SettingsImage.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string folderOf(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : name.substr(0, slash);
}

// The mode a newly created file would get, so the saved file looks like any other the user makes.
mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

// The file a save must replace: the one a symbolic link points to, since renaming over the link
// itself would leave the linked file with the old settings.
std::string saveTarget(const std::string& name) {
    struct stat entry {};
    if (::lstat(name.c_str(), &entry) != 0 || !S_ISLNK(entry.st_mode)) {
        return name;
    }
    char* resolved = ::realpath(name.c_str(), nullptr);
    if (resolved == nullptr) {
        return name; // a link to nothing: the save puts a file in its place
    }
    std::string target(resolved);
    std::free(resolved);
    return target;
}

} // namespace

int writeSettingsFile(const SettingsImage& image, const std::string& name) {
    if (name.empty()) {
        return 1;
    }
    const std::string target = saveTarget(name);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    // The rename below needs only the folder's permission; a file the user may not write (made
    // read-only) must refuse the save as an in-place write would.
    if (exists && ::access(target.c_str(), W_OK) != 0) {
        return 1;
    }
    std::string temp = folderOf(target) + "/.r550tool-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        return 1;
    }
    UniqueFd file(fd);
    const mode_t mode = exists ? (existing.st_mode & 07777) : newFileMode();
    const bool written = ::fchmod(fd, mode) == 0 &&
                         UniqueFd::writeAll(fd, image.raw().data(), image.raw().size()) &&
                         ::fsync(fd) == 0;
    if (!file.close() || !written || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return 1;
    }
    return 0;
}

int readSettingsFile(SettingsImage& image, const std::string& name) {
    // Without O_NONBLOCK the open of a named pipe waits for a writer, and a device node may
    // wait in its read: either would hold the window for good. Only a plain file holds
    // settings; anything else counts as a file that cannot be opened.
    UniqueFd file(::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0) {
        return -1;
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return -1;
    }
    // Read into a scratch copy first, so that a read error leaves the block unchanged.
    auto scratch = image.raw();
    std::size_t done = 0;
    while (done < scratch.size()) {
        const ssize_t n = ::read(file.get(), scratch.data() + done, scratch.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return -1;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    image.raw() = scratch;
    return 0;
}

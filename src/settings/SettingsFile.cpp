#include "settings/SettingsFile.h"

#include "base/AccountName.h"
#include "base/UniqueFd.h"
#include "settings/SettingsImage.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

int fail(SettingsFileReport& report, std::string reason, int error, int code) {
    report.reason = std::move(reason);
    report.error = error;
    return code;
}

// The sentence for a failed call on `name`: permission refusals in plain words, the rest as the
// system words them.
std::string refusal(const std::string& doing, const std::string& name, int error) {
    if (error == EACCES || error == EPERM) {
        return "this user may not " + doing + " " + name;
    }
    return "cannot " + doing + " " + name + ": " + std::strerror(error);
}

std::string notASettingsFile(const std::string& name, mode_t mode, bool viaLink) {
    const char* kind = "not a regular file";
    if (S_ISDIR(mode)) {
        kind = "a folder";
    } else if (S_ISFIFO(mode)) {
        kind = "a named pipe";
    } else if (S_ISCHR(mode) || S_ISBLK(mode)) {
        kind = "a device";
    } else if (S_ISSOCK(mode)) {
        kind = "a socket";
    }
    return name + (viaLink ? " leads to " : " is ") + kind + ", not a settings file";
}

std::string danglingLink(const std::string& name) {
    return name + " is a symbolic link to nothing, not a settings file";
}

std::string userName(uid_t uid) {
    return accountName(uid).value_or("user " + std::to_string(uid));
}

// A symbolic link is followed only when its owner is this (effective) user or root, in every
// folder: the rule the kernel applies in sticky world-writable folders (protected_symlinks),
// which a shared folder or a machine with the rule switched off does not give. Otherwise a user
// could point a link of theirs at a file they may not write, and a save run by root would write
// it for them. Each link of a chain is checked; links among the folders above are left to the
// kernel. 0, or 1 with the reason naming the link and its owner.
int checkLinkOwners(const std::string& name, SettingsFileReport& report) {
    constexpr int kMostLinks = 40; // the kernel's own limit
    const uid_t self = ::geteuid();
    std::string path = name;
    for (int step = 0; step < kMostLinks; ++step) {
        struct stat entry {};
        if (::lstat(path.c_str(), &entry) != 0 || !S_ISLNK(entry.st_mode)) {
            return 0;
        }
        if (entry.st_uid != self && entry.st_uid != 0) {
            return fail(report,
                        path + " is a symbolic link owned by " + userName(entry.st_uid) +
                            "; a link of another user is not followed",
                        EPERM, 1);
        }
        std::vector<char> text(PATH_MAX + 1);
        const ssize_t length = ::readlink(path.c_str(), text.data(), text.size() - 1);
        if (length < 0) {
            return 0; // what stat makes of it next tells
        }
        const std::string next(text.data(), static_cast<std::size_t>(length));
        path = !next.empty() && next.front() == '/' ? next : folderOf(path) + "/" + next;
    }
    return 0;
}

// Where a save of a name goes, found before anything is written.
struct SaveTarget {
    std::string path; // the file to replace or create: a link's target, or the name itself
    bool exists = false;
    struct stat status {}; // of the existing file
};

// Finds what `name` is. 0, or 1 with the reason when it is nothing a settings file may replace.
int resolveTarget(const std::string& name, SaveTarget& target, SettingsFileReport& report) {
    if (name.empty()) {
        return fail(report, "no file name", 0, 1);
    }
    target.path = name;
    struct stat entry {};
    if (::lstat(name.c_str(), &entry) != 0) {
        const int error = errno;
        if (error != ENOENT) {
            return fail(report, refusal("reach", name, error), error, 1);
        }
        struct stat folder {};
        if (::stat(folderOf(name).c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode)) {
            return fail(report, "the folder " + folderOf(name) + " does not exist", ENOENT, 1);
        }
        return 0;
    }
    const bool link = S_ISLNK(entry.st_mode);
    if (link && checkLinkOwners(name, report) != 0) {
        return 1;
    }
    if (link && ::stat(name.c_str(), &entry) != 0) {
        const int error = errno;
        return error == ENOENT ? fail(report, danglingLink(name), 0, 1)
                               : fail(report, refusal("reach", name, error), error, 1);
    }
    if (!S_ISREG(entry.st_mode)) {
        return fail(report, notASettingsFile(name, entry.st_mode, link), 0, 1);
    }
    if (link) {
        // Renaming over the link itself would leave the file it leads to with the old settings.
        char* resolved = ::realpath(name.c_str(), nullptr);
        if (resolved == nullptr) {
            const int error = errno;
            return fail(report, refusal("reach", name, error), error, 1);
        }
        target.path = resolved;
        std::free(resolved);
    }
    target.exists = true;
    target.status = entry;
    return 0;
}

// Whether this user may replace the file or create one in the folder.
int checkWritable(const SaveTarget& target, SettingsFileReport& report) {
    // The rename of a save needs only the folder's permission; a file the user may not write
    // (made read-only) must refuse the save as an in-place write would.
    if (target.exists && ::access(target.path.c_str(), W_OK) != 0) {
        const int error = errno;
        return fail(report, refusal("write", target.path, error), error, 1);
    }
    const std::string folder = folderOf(target.path);
    if (!target.exists && ::access(folder.c_str(), W_OK) != 0) {
        const int error = errno;
        return fail(report, refusal("create files in", folder, error), error, 1);
    }
    return 0;
}

// True while the target is still what resolveTarget found: the same file, or still nothing.
bool unchanged(const SaveTarget& target) {
    struct stat now {};
    if (::lstat(target.path.c_str(), &now) != 0) {
        return !target.exists && errno == ENOENT;
    }
    return target.exists && S_ISREG(now.st_mode) && now.st_dev == target.status.st_dev &&
           now.st_ino == target.status.st_ino;
}

bool writeBlock(int fd, const SettingsImage& image) {
    return UniqueFd::writeAll(fd, image.raw().data(), image.raw().size()) &&
           ::ftruncate(fd, static_cast<off_t>(image.raw().size())) == 0 && ::fsync(fd) == 0;
}

// The old way, for a folder that takes no new file: the file itself is written over.
int rewriteInPlace(const SettingsImage& image, const SaveTarget& target,
                   SettingsFileReport& report) {
    UniqueFd file(::open(target.path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat opened {};
    if (!file.valid() || ::fstat(file.get(), &opened) != 0) {
        const int error = errno;
        return fail(report, refusal("write", target.path, error), error, 1);
    }
    if (opened.st_dev != target.status.st_dev || opened.st_ino != target.status.st_ino) {
        return fail(report, target.path + " changed while it was being saved", 0, 1);
    }
    if (!writeBlock(file.get(), image) || !file.close()) {
        const int error = errno;
        return fail(report, refusal("write", target.path, error), error, 1);
    }
    return 0;
}

// Gives the new file the old one's owner, group and mode. A user who may not give the owner may
// still give a group of their own; what cannot be given stays the user's.
// Neither can fail in a way that spoils the settings, so their results are not examined.
void takeOverOwnership(int fd, const SaveTarget& target) {
    if (!target.exists) {
        static_cast<void>(::fchmod(fd, newFileMode()));
        return;
    }
    if (::fchown(fd, target.status.st_uid, target.status.st_gid) != 0 &&
        ::fchown(fd, static_cast<uid_t>(-1), target.status.st_gid) != 0) {
        // Not even the group: the file stays this user's, with the old mode.
    }
    // After the owner: a change of owner clears the set-id bits.
    static_cast<void>(::fchmod(fd, target.status.st_mode & 07777));
}

int replaceWith(UniqueFd file, const std::string& temp, const SettingsImage& image,
                const SaveTarget& target, SettingsFileReport& report) {
    takeOverOwnership(file.get(), target);
    bool written = writeBlock(file.get(), image);
    int error = errno;
    if (!file.close() && written) {
        written = false;
        error = errno;
    }
    if (written && !unchanged(target)) {
        ::unlink(temp.c_str());
        return fail(report, target.path + " changed while it was being saved", 0, 1);
    }
    if (!written || ::rename(temp.c_str(), target.path.c_str()) != 0) {
        error = written ? errno : error;
        ::unlink(temp.c_str());
        return fail(report, refusal("write", target.path, error), error, 1);
    }
    return 0;
}

// Why `name` could not be opened for reading.
int failedOpen(const std::string& name, int error, SettingsFileReport& report) {
    struct stat entry {};
    if (error == ENOENT && ::lstat(name.c_str(), &entry) == 0 && S_ISLNK(entry.st_mode)) {
        return fail(report, danglingLink(name), error, -1);
    }
    if (error == ENOENT) {
        report.missing = true;
        return fail(report, name + " does not exist", error, -1);
    }
    return fail(report, refusal("read", name, error), error, -1);
}

} // namespace

int writeSettingsFile(const SettingsImage& image, const std::string& name) {
    SettingsFileReport ignored;
    return writeSettingsFile(image, name, ignored);
}

int writeSettingsFile(const SettingsImage& image, const std::string& name,
                      SettingsFileReport& report) {
    report = {};
    SaveTarget target;
    if (resolveTarget(name, target, report) != 0 || checkWritable(target, report) != 0) {
        return 1;
    }
    const std::string folder = folderOf(target.path);
    std::string temp = folder + "/.r550tool-XXXXXX";
    UniqueFd file(::mkostemp(temp.data(), O_CLOEXEC));
    if (!file.valid()) {
        const int error = errno;
        if (target.exists && (error == EACCES || error == EPERM || error == EROFS)) {
            return rewriteInPlace(image, target, report);
        }
        return fail(report, refusal("create files in", folder, error), error, 1);
    }
    return replaceWith(std::move(file), temp, image, target, report);
}

int checkSettingsFileTarget(const std::string& name, SettingsFileReport& report) {
    report = {};
    SaveTarget target;
    if (resolveTarget(name, target, report) != 0 || checkWritable(target, report) != 0) {
        return 1;
    }
    return 0;
}

int readSettingsFile(SettingsImage& image, const std::string& name) {
    SettingsFileReport ignored;
    return readSettingsFile(image, name, ignored);
}

int readSettingsFile(SettingsImage& image, const std::string& name, SettingsFileReport& report) {
    report = {};
    // A named pipe would hold the open until a writer comes and a device may wait in its read,
    // and opening either can have effects of its own: only a plain file is opened. The check
    // after the open is the one that counts; O_NONBLOCK covers what changes in between.
    struct stat status {};
    if (::stat(name.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        return fail(report, notASettingsFile(name, status.st_mode, false), 0, -1);
    }
    UniqueFd file(::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.valid()) {
        return failedOpen(name, errno, report);
    }
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return fail(report, notASettingsFile(name, status.st_mode, false), 0, -1);
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
            const int error = errno;
            return fail(report, refusal("read", name, error), error, -1);
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    image.raw() = scratch;
    report.size = static_cast<std::uintmax_t>(status.st_size);
    return 0;
}

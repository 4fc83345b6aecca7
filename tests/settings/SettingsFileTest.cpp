#include "settings/SettingsFile.h"

#include "settings/SettingsImage.h"
#include "support/FileSizeLimit.h"
#include "support/TempFolder.h"

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace {

void writeBytes(const std::filesystem::path& path, std::size_t n, std::uint8_t value) {
    std::ofstream out(path, std::ios::binary);
    const std::string bytes(n, static_cast<char>(value));
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

SettingsImage patterned() {
    SettingsImage image;
    for (std::size_t i = 0; i < SettingsImage::kSize; ++i) {
        image.raw()[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return image;
}

} // namespace

TEST(SettingsFile, RoundTripKeepsEveryByte) {
    TempFolder folder;
    const auto file = (folder.path() / "a.cfg").string();
    const SettingsImage original = patterned();
    ASSERT_EQ(writeSettingsFile(original, file), 0);
    EXPECT_EQ(std::filesystem::file_size(file), 3060u);
    SettingsImage loaded;
    ASSERT_EQ(readSettingsFile(loaded, file), 0);
    EXPECT_EQ(loaded.raw(), original.raw());
    // Rewriting over an existing file replaces it whole.
    SettingsImage zero;
    ASSERT_EQ(writeSettingsFile(zero, file), 0);
    EXPECT_EQ(fileBytes(file), std::vector<std::uint8_t>(3060, 0));
}

TEST(SettingsFile, ShortEmptyAndLongFilesReplaceOnlyWhatTheyHold) {
    TempFolder folder;
    const SettingsImage original = patterned();

    SettingsImage image = original;
    writeBytes(folder.path() / "empty.cfg", 0, 0xAA);
    EXPECT_EQ(readSettingsFile(image, (folder.path() / "empty.cfg").string()), 0);
    EXPECT_EQ(image.raw(), original.raw());

    writeBytes(folder.path() / "short.cfg", 100, 0xAA);
    EXPECT_EQ(readSettingsFile(image, (folder.path() / "short.cfg").string()), 0);
    for (std::size_t i = 0; i < SettingsImage::kSize; ++i) {
        ASSERT_EQ(image.raw()[i], i < 100 ? 0xAA : original.raw()[i]) << i;
    }

    writeBytes(folder.path() / "long.cfg", 4000, 0xBB);
    EXPECT_EQ(readSettingsFile(image, (folder.path() / "long.cfg").string()), 0);
    for (const std::uint8_t byte : image.raw()) {
        ASSERT_EQ(byte, 0xBB) << "a 4000-byte file fills the block with its first 3060 bytes";
    }
}

// What a read finds, and what it says when there is nothing to read.
TEST(SettingsFile, AReadSaysWhatItFound) {
    TempFolder folder;
    const std::string none = (folder.path() / "none.cfg").string();
    const std::string dir = (folder.path() / "dir.cfg").string();
    const std::string pipe = (folder.path() / "pipe.cfg").string();
    std::filesystem::create_directory(dir);
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    writeBytes(folder.path() / "short.cfg", 100, 0xAA);
    const struct {
        std::string name;
        int code;
        std::string reason;
        bool missing;
        std::uintmax_t size;
    } cases[] = {
        {none, -1, none + " does not exist", true, 0},
        {dir, -1, dir + " is a folder, not a settings file", false, 0},
        {pipe, -1, pipe + " is a named pipe, not a settings file", false, 0},
        {(folder.path() / "short.cfg").string(), 0, "", false, 100},
    };
    for (const auto& c : cases) {
        SettingsImage image = patterned();
        SettingsFileReport report;
        EXPECT_EQ(readSettingsFile(image, c.name, report), c.code) << c.name;
        EXPECT_EQ(report.reason, c.reason);
        EXPECT_EQ(report.missing, c.missing) << c.name;
        EXPECT_EQ(report.size, c.size) << c.name;
        if (c.code != 0) {
            EXPECT_EQ(image.raw(), patterned().raw()) << c.name;
        }
    }
}

// Anything but a regular file, a link to one, or nothing is refused, and is what it was after.
TEST(SettingsFile, ASaveReplacesOnlyARegularFile) {
    TempFolder folder;
    const auto at = [&](const char* name) { return (folder.path() / name).string(); };
    ASSERT_EQ(::mkfifo(at("pipe.cfg").c_str(), 0600), 0);
    std::filesystem::create_directory(at("dir.cfg"));
    std::filesystem::create_symlink(at("gone.cfg"), at("dangling.cfg"));
    std::filesystem::create_symlink(at("pipe.cfg"), at("to-pipe.cfg"));
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", at("sock.cfg").c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    const bool device = ::mknod(at("null.cfg").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    const struct {
        const char* name;
        const char* says;
    } cases[] = {
        {"pipe.cfg", " is a named pipe, not a settings file"},
        {"dir.cfg", " is a folder, not a settings file"},
        {"dangling.cfg", " is a symbolic link to nothing, not a settings file"},
        {"to-pipe.cfg", " leads to a named pipe, not a settings file"},
        {"sock.cfg", " is a socket, not a settings file"},
        {"null.cfg", " is a device, not a settings file"},
    };
    for (const auto& c : cases) {
        if (!device && std::string(c.name) == "null.cfg") {
            continue; // mknod needs root
        }
        struct stat before {};
        ASSERT_EQ(::lstat(at(c.name).c_str(), &before), 0);
        SettingsFileReport report;
        EXPECT_EQ(checkSettingsFileTarget(at(c.name), report), 1) << c.name;
        EXPECT_EQ(report.reason, at(c.name) + c.says);
        EXPECT_EQ(writeSettingsFile(patterned(), at(c.name), report), 1) << c.name;
        EXPECT_EQ(report.reason, at(c.name) + c.says);
        struct stat after {};
        ASSERT_EQ(::lstat(at(c.name).c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino) << c.name;
        EXPECT_EQ(after.st_mode, before.st_mode) << c.name;
    }
    ::close(sock);
    EXPECT_FALSE(std::filesystem::exists(at("gone.cfg")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), device ? 6 : 5)
        << "nothing was created";
}

// The link stays and its file is replaced; the new file keeps the old one's owner, group and mode.
TEST(SettingsFile, ASaveThroughALinkKeepsTheLinkOwnerAndMode) {
    TempFolder folder;
    const auto file = folder.path() / "real.cfg";
    const auto link = folder.path() / "link.cfg";
    writeBytes(file, 3060, 0);
    ::chmod(file.c_str(), 0604);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(file.c_str(), 1234, 5678), 0);
    }
    std::filesystem::create_symlink(file, link);
    const SettingsImage image = patterned();
    ASSERT_EQ(writeSettingsFile(image, link.string()), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(fileBytes(file), std::vector<std::uint8_t>(image.raw().begin(), image.raw().end()));
    struct stat saved {};
    ASSERT_EQ(::stat(file.c_str(), &saved), 0);
    EXPECT_EQ(saved.st_mode & 07777, 0604u);
    if (root) {
        EXPECT_EQ(saved.st_uid, 1234u);
        EXPECT_EQ(saved.st_gid, 5678u);
    }
}

// A folder that takes no new file: a file that may be written is written in place. Root writes
// any folder, so root runs it as the user nobody.
TEST(SettingsFile, AReadOnlyFolderGetsItsFileRewrittenInPlace) {
    TempFolder folder;
    const auto file = folder.path() / "keep.cfg";
    writeBytes(file, 4000, 0x11);
    const uid_t nobody = 65534;
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(folder.path().c_str(), nobody, nobody), 0);
        ASSERT_EQ(::chown(file.c_str(), nobody, nobody), 0);
    }
    ::chmod(folder.path().c_str(), 0555);
    const auto save = [&] {
        SettingsFileReport report;
        const std::string other = (folder.path() / "new.cfg").string();
        return writeSettingsFile(patterned(), file.string()) == 0 &&
               writeSettingsFile(patterned(), other, report) == 1 &&
               report.reason == "this user may not create files in " + folder.path().string();
    };
    bool saved = false;
    if (::geteuid() == 0) {
        const pid_t child = ::fork();
        if (child == 0) {
            const bool dropped = ::setgid(nobody) == 0 && ::setuid(nobody) == 0;
            ::_exit(dropped && save() ? 0 : 1);
        }
        int status = 0;
        saved =
            ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    } else {
        saved = save();
    }
    ::chmod(folder.path().c_str(), 0755);
    EXPECT_TRUE(saved);
    const SettingsImage image = patterned();
    EXPECT_EQ(fileBytes(file), std::vector<std::uint8_t>(image.raw().begin(), image.raw().end()));
}

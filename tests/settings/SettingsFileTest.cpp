#include "settings/SettingsFile.h"

#include "settings/SettingsImage.h"
#include "support/FileBytes.h"
#include "support/FileSizeLimit.h"
#include "support/TempFolder.h"

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
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

// The link stays and its file is replaced; the new file keeps the old one's owner, group and mode.
TEST(SettingsFile, ASaveThroughALinkKeepsTheLinkOwnerAndMode) {
    TempFolder folder;
    const auto file = folder.path() / "real.cfg";
    const auto link = folder.path() / "link.cfg";
    writeBytes(file, 3060, 0);
    ::chmod(file.c_str(), 0604);
    const bool root = ::geteuid() == 0;
    ASSERT_TRUE(!root || ::chown(file.c_str(), 1234, 5678) == 0);
    std::filesystem::create_symlink(file, link);
    const SettingsImage image = patterned();
    ASSERT_EQ(writeSettingsFile(image, link.string()), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(fileBytes(file), std::vector<std::uint8_t>(image.raw().begin(), image.raw().end()));
    struct stat saved {};
    ASSERT_EQ(::stat(file.c_str(), &saved), 0);
    EXPECT_EQ(saved.st_mode & 07777, 0604u);
    EXPECT_TRUE(!root || (saved.st_uid == 1234u && saved.st_gid == 5678u));
}

// A folder that takes no new file: a file that may be written is written in place. Root writes
// any folder, so root runs it as the user nobody.
TEST(SettingsFile, AReadOnlyFolderGetsItsFileRewrittenInPlace) {
    TempFolder folder;
    const auto file = folder.path() / "keep.cfg";
    writeBytes(file, 4000, 0x11);
    const uid_t nobody = 65534;
    const bool root = ::geteuid() == 0;
    ASSERT_TRUE(!root || (::chown(folder.path().c_str(), nobody, nobody) == 0 &&
                          ::chown(file.c_str(), nobody, nobody) == 0));
    ::chmod(folder.path().c_str(), 0555);
    const auto save = [&] {
        SettingsFileReport report;
        return writeSettingsFile(patterned(), file.string()) == 0 &&
               writeSettingsFile(patterned(), (folder.path() / "new.cfg").string(), report) == 1 &&
               report.reason == "this user may not create files in " + folder.path().string();
    };
    const pid_t child = root ? ::fork() : -1;
    if (child == 0) {
        ::_exit(::setgid(nobody) == 0 && ::setuid(nobody) == 0 && save() ? 0 : 1);
    }
    int status = 0;
    const bool saved = root ? ::waitpid(child, &status, 0) == child && status == 0 : save();
    ::chmod(folder.path().c_str(), 0755);
    EXPECT_TRUE(saved);
    const SettingsImage image = patterned();
    EXPECT_EQ(fileBytes(file), std::vector<std::uint8_t>(image.raw().begin(), image.raw().end()));
}

// A link is followed only when its owner is the user who writes, or root; every link of a chain
// counts. Each caller writes in a child of its own uid; the file the links lead to, which every
// caller may write, is left as it was wherever the write is refused.
TEST(SettingsFile, ALinkIsFollowedOnlyWhenItsOwnerMayBeTrusted) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to make links of other users";
    }
    constexpr uid_t kRoot = 0;
    constexpr uid_t kOwner = 4242;
    constexpr uid_t kOther = 4343;
    struct Case {
        std::vector<uid_t> linkOwners; // the chain, from the name written
        uid_t caller;
        bool written;
    };
    const std::vector<Case> cases = {
        {{kRoot}, kRoot, true},
        {{kRoot}, kOwner, true},
        {{kOwner}, kOwner, true},
        {{kOwner}, kRoot, false},
        {{kOwner}, kOther, false},
        {{kOwner, kRoot}, kOwner, true},
        {{kOwner, kOther}, kOwner, false},
        {{kRoot, kOwner}, kRoot, false},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        std::filesystem::permissions(folder.path(), std::filesystem::perms::all);
        const std::filesystem::path target = folder.path() / "target.cfg";
        writeBytes(target, SettingsImage::kSize, 0x5A);
        ::chmod(target.c_str(), 0666);
        std::filesystem::path next = target;
        for (std::size_t i = c.linkOwners.size(); i-- > 0;) {
            const std::filesystem::path link = folder.path() / ("link" + std::to_string(i));
            std::filesystem::create_symlink(next, link);
            ASSERT_EQ(::lchown(link.c_str(), c.linkOwners[i], c.linkOwners[i]), 0);
            next = link;
        }
        const pid_t child = ::fork();
        if (child == 0) {
            SettingsFileReport report;
            const bool refusedByName = ::setresuid(c.caller, c.caller, c.caller) == 0 &&
                                       writeSettingsFile(patterned(), next.string(), report) == 1 &&
                                       report.reason.find("owned by") != std::string::npos;
            ::_exit(refusedByName ? 1 : 0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        const SettingsImage image = patterned();
        const auto& expected = image.raw();
        const bool written =
            fileBytes(target) == std::vector<std::uint8_t>(expected.begin(), expected.end());
        EXPECT_EQ(written, c.written) << "caller " << c.caller << ", first link " << next;
        EXPECT_EQ(WEXITSTATUS(status) == 1, !c.written) << "caller " << c.caller;
        if (!c.written) {
            EXPECT_EQ(fileBytes(target), std::vector<std::uint8_t>(SettingsImage::kSize, 0x5A));
        }
    }
}

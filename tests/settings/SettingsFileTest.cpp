#include "settings/SettingsFile.h"

#include "settings/SettingsImage.h"
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

TEST(SettingsFile, MissingFileReadsAsFailureAndLeavesTheBlock) {
    TempFolder folder;
    SettingsImage image = patterned();
    EXPECT_EQ(readSettingsFile(image, (folder.path() / "none.cfg").string()), -1);
    EXPECT_EQ(image.raw(), patterned().raw());
}

TEST(SettingsFile, FailedSaveKeepsThePreviousFileAndLeavesNoTemporary) {
    TempFolder folder;
    const auto file = folder.path() / "keep.cfg";
    const SettingsImage old = patterned();
    ASSERT_EQ(writeSettingsFile(old, file.string()), 0);

    // A folder that does not exist, and a target that is a folder: the save fails with 1.
    EXPECT_EQ(writeSettingsFile(SettingsImage(), (folder.path() / "no/such.cfg").string()), 1);
    std::filesystem::create_directory(folder.path() / "dir.cfg");
    EXPECT_EQ(writeSettingsFile(SettingsImage(), (folder.path() / "dir.cfg").string()), 1);

    // A full disk: a file-size limit makes the write fail part-way, as a full disk does.
    {
        FileSizeLimit limit(1000);
        EXPECT_EQ(writeSettingsFile(SettingsImage(), file.string()), 1);
    }

    // A folder without write permission (root ignores the bits, so only check as a user).
    if (::geteuid() != 0) {
        ::chmod(folder.path().c_str(), 0555);
        EXPECT_EQ(writeSettingsFile(SettingsImage(), file.string()), 1);
        ::chmod(folder.path().c_str(), 0755);
    }

    SettingsImage loaded;
    ASSERT_EQ(readSettingsFile(loaded, file.string()), 0);
    EXPECT_EQ(loaded.raw(), old.raw());
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        EXPECT_NE(entry.path().filename().string().rfind(".r550tool-", 0), 0u)
            << "temporary file left behind: " << entry.path();
    }
}

#include "settings/SettingsFile.h"
#include "settings/SettingsImage.h"
#include "support/MainWindowFixture.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <QSpinBox>
#include <QTreeWidget>

namespace {

// A window started with the reader on COM3, whose pages agree with the block.
class FileMenu : public MainWindowFixture {
protected:
    void SetUp() override {
        startWithReaderOn(3);
        messages.shown.clear();
    }

    std::string path(const char* name) const { return file(name).string(); }
    static std::vector<std::uint8_t> bytesOf(const std::filesystem::path& name) {
        std::ifstream in(name, std::ios::binary);
        const std::vector<char> chars{std::istreambuf_iterator<char>(in), {}};
        return {chars.begin(), chars.end()};
    }
    static void writeBytes(const std::filesystem::path& name, std::size_t count,
                           std::uint8_t value) {
        std::ofstream(name, std::ios::binary) << std::string(count, static_cast<char>(value));
    }
    std::vector<std::uint8_t> imageBytes() const {
        return {image.raw().begin(), image.raw().end()};
    }
    bool onlyMessage(const char* text) const {
        return messages.shown.size() == 1 && messages.shown[0].text == text &&
               messages.shown[0].caption == "System Message";
    }
    QSpinBox* scanDelay() const { return control<QSpinBox>("1016"); }
};

TEST_F(FileMenu, LoadingAnEmptyFileChangesNothingButStillReports) {
    const std::vector<std::uint8_t> before = imageBytes();
    writeBytes(file("empty.cfg"), 0, 0);
    files.loads.push_back(path("empty.cfg"));
    command("32776");
    EXPECT_TRUE(onlyMessage("Load settings file ok!"));
    EXPECT_EQ(imageBytes(), before);
    EXPECT_EQ(window->currentSettingsFile(), path("empty.cfg"));
}

TEST_F(FileMenu, LoadingAShortFileReplacesOnlyItsOwnBytes) {
    const std::vector<std::uint8_t> before = imageBytes();
    writeBytes(file("short.cfg"), 100, 0xA5);
    files.loads.push_back(path("short.cfg"));
    command("32776");
    const std::vector<std::uint8_t> after = imageBytes();
    EXPECT_EQ(std::vector<std::uint8_t>(after.begin(), after.begin() + 100),
              std::vector<std::uint8_t>(100, 0xA5));
    EXPECT_EQ(std::vector<std::uint8_t>(after.begin() + 100, after.end()),
              std::vector<std::uint8_t>(before.begin() + 100, before.end()));
}

TEST_F(FileMenu, LoadAlwaysReturnsToTheMainSettingsPageAndShowsTheFile) {
    SettingsImage saved = image;
    saved.scan_code_delay() = 123;
    ASSERT_EQ(writeSettingsFile(saved, path("slow.cfg")), 0);
    command("32775"); // MSR Setting
    ASSERT_EQ(window->currentPage(), 1);
    files.loads.push_back(path("slow.cfg"));
    command("32776");
    EXPECT_EQ(window->currentPage(), 0);
    EXPECT_FALSE(shown("tree"));
    EXPECT_TRUE(shown("1007"));
    EXPECT_EQ(scanDelay()->value(), 123);
}

TEST_F(FileMenu, LoadThatCannotOpenShowsOnlyTheFileError) {
    command("32775");
    const std::vector<std::uint8_t> before = imageBytes();
    files.loads.push_back(path("missing.cfg"));
    command("32776");
    EXPECT_EQ(messages.fileErrors, 1);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(imageBytes(), before);
    EXPECT_EQ(window->currentPage(), 1);
}

TEST_F(FileMenu, CancelledDialogsChangeNothing) {
    const std::vector<std::uint8_t> before = imageBytes();
    command("32776");
    command("32778");
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(imageBytes(), before);
    EXPECT_EQ(window->currentSettingsFile(), "Default.cfg");
}

TEST_F(FileMenu, SaveStoresThePagesIntoTheCurrentFile) {
    command("32778"); // cancelled Save as
    scanDelay()->setValue(99);
    command("32777");
    EXPECT_TRUE(onlyMessage("Save settings file ok!"));
    const std::vector<std::uint8_t> written = bytesOf(file("Default.cfg"));
    ASSERT_EQ(written.size(), SettingsImage::kSize);
    EXPECT_EQ(written[SettingsImage::dataOffset(SettingsImage::kScanCodeDelaySlot)], 99);
    EXPECT_EQ(written, imageBytes());
}

TEST_F(FileMenu, SaveAsAppendsCfgAndWritesTheBlockAsItStands) {
    scanDelay()->setValue(99); // not stored: Save as does not store the page
    files.saves.push_back(path("abc"));
    files.saves.push_back(path("Default.cfg"));
    command("32778");
    EXPECT_TRUE(onlyMessage("Save settings file ok!"));
    EXPECT_EQ(window->currentSettingsFile(), path("abc.cfg"));
    EXPECT_FALSE(std::filesystem::exists(file("abc")));
    EXPECT_EQ(bytesOf(file("abc.cfg")), imageBytes());
    EXPECT_EQ(image.scan_code_delay(), 1);

    command("32778");
    EXPECT_EQ(window->currentSettingsFile(), path("Default.cfg"));
    EXPECT_FALSE(std::filesystem::exists(file("Default.cfg.cfg")));
}

TEST_F(FileMenu, SaveAfterLoadWritesBackToTheLoadedFile) {
    ASSERT_EQ(writeSettingsFile(image, path("mine.cfg")), 0);
    files.loads.push_back(path("mine.cfg"));
    command("32776");
    scanDelay()->setValue(55);
    command("32777");
    EXPECT_EQ(
        bytesOf(file("mine.cfg"))[SettingsImage::dataOffset(SettingsImage::kScanCodeDelaySlot)],
        55);
}

TEST_F(FileMenu, FailedSaveShowsTheFileErrorAndNoSuccess) {
    files.saves.push_back(path("no-such-folder/x.cfg"));
    command("32778");
    command("32777"); // the same unwritable name
    EXPECT_EQ(messages.fileErrors, 2);
    EXPECT_TRUE(messages.shown.empty());
}

} // namespace

#include "settings/SettingsFile.h"
#include "settings/SettingsImage.h"
#include "support/MainWindowFixture.h"
#include "support/SettingsByName.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <QCheckBox>
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

    QSpinBox* scanDelay() const { return control<QSpinBox>("1016"); }
    QTreeWidget* tree() const { return control<QTreeWidget>("tree"); }
};

TEST_F(FileMenu, LoadingAnEmptyFileChangesNothingButStillReports) {
    const std::vector<std::uint8_t> before = imageBytes();
    writeBytes(file("empty.cfg"), {});
    files.loads.push_back(path("empty.cfg"));
    messages.answersToGive.push_back(0); // "Load it all the same?" Yes
    command("32776");
    ASSERT_EQ(messages.asked.size(), 1U);
    EXPECT_EQ(messages.asked[0].detail, "It is 0 bytes long; a settings file has 3060.");
    EXPECT_TRUE(onlyMessage("Load settings file ok!"));
    EXPECT_EQ(imageBytes(), before);
    EXPECT_EQ(window->currentSettingsFile(), path("empty.cfg"));
}

TEST_F(FileMenu, LoadingAShortFileReplacesOnlyItsOwnBytes) {
    const std::vector<std::uint8_t> before = imageBytes();
    writeBytes(file("short.cfg"), std::vector<std::uint8_t>(100, 0xA5));
    files.loads.push_back(path("short.cfg"));
    messages.answersToGive.push_back(0);
    command("32776");
    const std::vector<std::uint8_t> after = imageBytes();
    EXPECT_EQ(std::vector<std::uint8_t>(after.begin(), after.begin() + 100),
              std::vector<std::uint8_t>(100, 0xA5));
    EXPECT_EQ(std::vector<std::uint8_t>(after.begin() + 100, after.end()),
              std::vector<std::uint8_t>(before.begin() + 100, before.end()));
}

TEST_F(FileMenu, LoadAlwaysReturnsToTheMainSettingsPageAndShowsTheFile) {
    SettingsImage saved = image;
    byteOf(saved, "main.scan_code_delay") = 123;
    ASSERT_EQ(writeSettingsFile(saved, path("slow.cfg")), 0);
    command("32775"); // MSR Setting
    ASSERT_EQ(window->currentPage(), Page::MsrMainSettings);
    files.loads.push_back(path("slow.cfg"));
    command("32776");
    EXPECT_EQ(window->currentPage(), Page::MainSettings);
    EXPECT_FALSE(shown("tree"));
    EXPECT_TRUE(shown("1007"));
    EXPECT_EQ(scanDelay()->value(), 123);
}

TEST_F(FileMenu, LoadThatCannotOpenShowsOnlyTheFileError) {
    command("32775");
    const std::vector<std::uint8_t> before = imageBytes();
    files.loads.push_back(path("missing.cfg"));
    command("32776");
    EXPECT_TRUE(onlyFileErrors(1)) << messages.fileErrors;
    EXPECT_EQ(imageBytes(), before);
    EXPECT_EQ(window->currentPage(), Page::MsrMainSettings);
    EXPECT_EQ(window->currentSettingsFile(), "Default.cfg");
}

TEST_F(FileMenu, CancelledDialogsChangeNothing) {
    const std::vector<std::uint8_t> before = imageBytes();
    command("32776");
    command("32778");
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(imageBytes(), before);
    EXPECT_EQ(window->currentSettingsFile(), "Default.cfg");
}

// Every start rewrites "Default.cfg": while it is the current file, Save asks for a name, and
// then writes there.
TEST_F(FileMenu, SaveAtStartAsksForANameThenStoresThePagesThere) {
    const std::vector<std::uint8_t> startFile = bytesOf(file("Default.cfg"));
    command("32778"); // cancelled Save as
    scanDelay()->setValue(99);
    files.saves.push_back(path("mine"));
    command("32777");
    ASSERT_EQ(files.saveNotes.size(), 2U);
    EXPECT_NE(files.saveNotes[1].find("Every start rewrites Default.cfg"), std::string::npos);
    EXPECT_TRUE(onlyMessage("Save settings file ok!"));
    const std::vector<std::uint8_t> written = bytesOf(file("mine.cfg"));
    ASSERT_EQ(written.size(), SettingsImage::kSize);
    EXPECT_EQ(written[offsetOf("main.scan_code_delay")], 99);
    EXPECT_EQ(written, imageBytes());
    EXPECT_EQ(bytesOf(file("Default.cfg")), startFile);
    scanDelay()->setValue(98);
    command("32777"); // no dialog now
    EXPECT_EQ(files.saveNotes.size(), 2U);
    EXPECT_EQ(bytesOf(file("mine.cfg"))[offsetOf("main.scan_code_delay")], 98);
}

TEST_F(FileMenu, SaveAsAppendsCfg) {
    files.saves.push_back(path("abc"));
    files.saves.push_back(path("Default.cfg"));
    command("32778");
    EXPECT_TRUE(onlyMessage("Save settings file ok!"));
    EXPECT_EQ(window->currentSettingsFile(), path("abc.cfg"));
    EXPECT_FALSE(std::filesystem::exists(file("abc")));
    EXPECT_EQ(bytesOf(file("abc.cfg")), imageBytes());

    command("32778");
    EXPECT_EQ(window->currentSettingsFile(), path("Default.cfg"));
    EXPECT_FALSE(std::filesystem::exists(file("Default.cfg.cfg")));
}

// The dialogs open where the current settings file is: the working folder, until a Save as
// (or a Load) chooses another. Any case of ".cfg" is the extension.
TEST_F(FileMenu, DialogsOpenInTheFolderOfTheCurrentFileAndUpperCaseCfgIsKept) {
    const std::string working = std::filesystem::current_path().string();
    std::filesystem::create_directory(file("other"));
    command("32776");
    files.saves.push_back(file("other/UP.CFG").string());
    command("32778");
    command("32778");
    EXPECT_EQ(files.folders, (std::vector<std::string>{working, working, file("other").string()}));
    EXPECT_EQ(window->currentSettingsFile(), file("other/UP.CFG").string());
    EXPECT_EQ(bytesOf(file("other/UP.CFG")), imageBytes());
    EXPECT_FALSE(std::filesystem::exists(file("other/UP.CFG.cfg")));
}

// An edit on the page being shown is in the file "Save as" writes, as in the one "Save" writes:
// both store the pages first.
TEST_F(FileMenu, SaveAsStoresTheVisiblePageFirstAsSaveDoes) {
    scanDelay()->setValue(20);
    files.saves.push_back(path("as.cfg"));
    command("32778");
    const std::vector<std::uint8_t> savedAs = bytesOf(file("as.cfg"));
    ASSERT_EQ(savedAs.size(), SettingsImage::kSize);
    EXPECT_EQ(savedAs[offsetOf("main.scan_code_delay")], 20);
    command("32777");
    EXPECT_EQ(bytesOf(file("as.cfg")), savedAs) << "Save writes the same bytes";

    // The same for a track page.
    command("32775");
    tree()->setCurrentItem(
        tree()->findItems("MSR Track 2", Qt::MatchExactly | Qt::MatchRecursive).value(0));
    control<QCheckBox>("1303")->click(); // start sentinel on
    files.saves.push_back(path("track.cfg"));
    command("32778");
    EXPECT_EQ(bytesOf(file("track.cfg"))[flagsOffset("track2")], 0xA3 | 0x10);
}

// A file that cannot be loaded does not become the file "Save" writes: the save goes where it
// went before, and the path of the failed load (here a named pipe) is left as it is.
TEST_F(FileMenu, SaveAfterAFailedLoadWritesThePreviousFile) {
    ASSERT_EQ(::mkfifo(path("pipe.cfg").c_str(), 0600), 0);
    files.saves.push_back(path("before.cfg"));
    command("32778");
    files.loads.push_back(path("pipe.cfg"));
    command("32776");
    EXPECT_EQ(messages.fileErrors, 1);
    EXPECT_EQ(window->currentSettingsFile(), path("before.cfg"));

    messages.shown.clear();
    scanDelay()->setValue(33);
    command("32777");
    EXPECT_TRUE(onlyMessage("Save settings file ok!"));
    EXPECT_TRUE(std::filesystem::is_fifo(file("pipe.cfg")));
    EXPECT_EQ(bytesOf(file("before.cfg"))[offsetOf("main.scan_code_delay")], 33);
}

TEST_F(FileMenu, SaveAfterLoadWritesBackToTheLoadedFile) {
    ASSERT_EQ(writeSettingsFile(image, path("mine.cfg")), 0);
    files.loads.push_back(path("mine.cfg"));
    command("32776");
    scanDelay()->setValue(55);
    command("32777");
    EXPECT_EQ(bytesOf(file("mine.cfg"))[offsetOf("main.scan_code_delay")], 55);
}

// A name that cannot be written never becomes the current file.
TEST_F(FileMenu, FailedSaveAsShowsTheFileErrorAndKeepsTheCurrentFile) {
    files.saves.push_back(path("mine.cfg"));
    command("32778");
    messages.shown.clear();
    files.saves.push_back(path("no-such-folder/x.cfg"));
    command("32778");
    EXPECT_TRUE(onlyFileErrors(1)) << messages.fileErrors;
    EXPECT_EQ(window->currentSettingsFile(), path("mine.cfg"));
}

// Under the generic file-error box, the file and why it could not be used. (Save as against odd
// targets: the black-box run.)
TEST_F(FileMenu, AFailedLoadOrSaveSaysWhy) {
    ASSERT_EQ(::mkfifo(path("pipe.cfg").c_str(), 0600), 0);
    std::filesystem::create_directory(file("dir.cfg"));
    writeBytes(file("secret.cfg"), std::vector<std::uint8_t>(3060, 0));
    ::chmod(path("secret.cfg").c_str(), 0);
    std::vector<std::pair<std::string, std::string>> loads = {
        {"missing.cfg", " does not exist"},
        {"dir.cfg", " is a folder, not a settings file"},
        {"pipe.cfg", " is a named pipe, not a settings file"},
    };
    if (::geteuid() != 0) { // root reads any file
        loads.emplace_back("secret.cfg", "");
    }
    for (const auto& [name, why] : loads) {
        files.loads.push_back(path(name.c_str()));
        command("32776");
        EXPECT_EQ(messages.fileErrorDetails.back(),
                  why.empty() ? "this user may not read " + path("secret.cfg")
                              : path(name.c_str()) + why);
    }
    files.saves.push_back(path("gone/x.cfg"));
    command("32778");
    EXPECT_EQ(messages.fileErrorDetails.back(), "the folder " + path("gone") + " does not exist");
    EXPECT_EQ(messages.fileErrorDetails.size(), loads.size() + 1);
    EXPECT_TRUE(messages.shown.empty());
}

} // namespace

// Save as and Save through a symbolic link: followed when the link is root's or the caller's,
// refused with the link and its owner named when another user owns it, the file behind it then
// byte for byte as it was. The window runs as each caller by its effective uid.
TEST_F(FileMenu, SavesFollowOnlyLinksOfTheCallerOrRoot) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to make links of other users";
    }
    constexpr uid_t kCaller = 4242;
    constexpr uid_t kOther = 65534; // "nobody"
    const struct {
        uid_t linkOwner;
        uid_t caller;
        bool written;
    } cases[] = {{0, 0, true},
                 {kOther, 0, false},
                 {0, kCaller, true},
                 {kCaller, kCaller, true},
                 {kOther, kCaller, false}};
    std::filesystem::permissions(folder.path(), std::filesystem::perms::all);
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE("link of " + std::to_string(c.linkOwner) + ", caller " +
                     std::to_string(c.caller));
        const std::filesystem::path dir = file(("row" + std::to_string(row++)).c_str());
        std::filesystem::create_directory(dir);
        std::filesystem::permissions(dir, std::filesystem::perms::all);
        SettingsImage old = image;
        byteOf(old, "main.scan_code_delay") = 7;
        ASSERT_EQ(writeSettingsFile(old, (dir / "target.cfg").string()), 0);
        ::chmod((dir / "target.cfg").c_str(), 0666);
        const std::string link = (dir / "link.cfg").string();
        std::filesystem::create_symlink(dir / "target.cfg", link);
        ASSERT_EQ(::lchown(link.c_str(), c.linkOwner, c.linkOwner), 0);
        const std::vector<std::uint8_t> before = bytesOf(dir / "target.cfg");
        const std::string refusal =
            link + " is a symbolic link owned by nobody; a link of another user is not followed";
        ASSERT_EQ(::seteuid(c.caller), 0);
        for (const int delay : {90, 91}) { // Save as, then Save after a Load through the link
            if (delay == 90) {
                files.saves.push_back(link);
            } else {
                files.loads.push_back(link);
                messages.answersToGive = {0}; // Continue, where a refused save left edits
                command("32776");
            }
            messages.shown.clear();
            messages.fileErrorDetails.clear();
            scanDelay()->setValue(delay);
            command(delay == 90 ? "32778" : "32777");
            const std::vector<std::uint8_t> after = bytesOf(dir / "target.cfg");
            if (c.written) {
                EXPECT_TRUE(onlyMessage("Save settings file ok!")) << delay;
                EXPECT_EQ(after.size() == SettingsImage::kSize
                              ? after[offsetOf("main.scan_code_delay")]
                              : -1,
                          delay);
            } else {
                EXPECT_TRUE(messages.shown.empty()) << delay;
                EXPECT_EQ(messages.fileErrorDetails, std::vector<std::string>{refusal}) << delay;
                EXPECT_EQ(after, before) << delay;
            }
        }
        ASSERT_EQ(::seteuid(0), 0);
    }
}

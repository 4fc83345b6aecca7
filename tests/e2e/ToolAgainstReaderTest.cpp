// The real program, started as an operator starts it, against the reader simulator on a
// private X display. Everything is observed from outside: windows and their captions, the text
// the message boxes show, the frames the simulated reader received, its memory, the
// keyboard-port trace and the settings files written.

#include "Poll.h"
#include "PortTrace.h"
#include "ReaderSimulator.h"
#include "ScreenOperator.h"
#include "VirtualDisplay.h"
#include "settings/SettingsImage.h"
#include "support/ChildProcess.h"
#include "support/SettingsByName.h"
#include "support/TempFolder.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kMainCaption = "Tarvik--R550 Programming Tools V1.00";
// The caption of the transfer window and of the firmware-version box: the program's name.
constexpr const char* kProgramName = "r550tool";
// The transfer window has a fixed size; a message box with the same caption never has it.
constexpr int kTransferWidth = 280;
constexpr int kTransferHeight = 95;

// Menu commands as the operator reaches them from the keyboard. The Settings menu opens with its
// first item highlighted; its device commands have no underlined letter.
const std::vector<std::string> kLoadSettingFile = {"alt+f", "l"};
const std::vector<std::string> kSaveSettingFile = {"alt+f", "s"};
const std::vector<std::string> kSaveSettingFileAs = {"alt+f", "a"};
const std::vector<std::string> kLoadMainSettingFromReader = {"alt+s", "Down", "Down", "Return"};
const std::vector<std::string> kDetectFirmwareVersion = {"alt+s", "Down", "Down", "Down", "Return"};
const std::vector<std::string> kResetReader = {"alt+s", "Down", "Down", "Down", "Down", "Return"};
const std::vector<std::string> kProgramViaRs232 = {"alt+p", "r"};

// The six write-block frames of a reader at factory values, as the simulator logs them.
const std::vector<std::string> kFactoryFrames = {
    "1B 1D C0 00 09 86 01 0A 05 80 A3 A3 A3 83",
    "1B 1D C1 10 10 02 43 52 00 00 00 00 00 02 43 52 00 00 00 00 00",
    "1B 1D C1 20 10 02 54 31 00 00 00 00 00 02 0D 0A 00 00 00 00 00",
    "1B 1D C1 30 10 02 54 32 00 00 00 00 00 02 0D 0A 00 00 00 00 00",
    "1B 1D C1 40 10 02 54 33 00 00 00 00 00 02 0D 0A 00 00 00 00 00",
    "1B 1D C0 10 04 4E 4E 4E 00",
};

// A reader whose memory differs from the factory in every kind of setting: the byte parameters
// (buzzer with another bit beside it, delays, 19200 bit/s, the parameter no page shows, track and
// reader options), and the strings (three characters, one, an empty one, control codes).
const std::array<std::uint8_t, 20> kPresetBytes = {0x82, 0x05, 0x14, 0x06, 0x81, 0xA1, 0xA3,
                                                   0xA2, 0x93, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                   0x00, 0x00, 0x4E, 0x4C, 0x4E, 0x01};
const std::array<std::array<std::uint8_t, 8>, 8> kPresetStrings = {{
    {0x03, 'A', 'B', 'C'},
    {0x01, 0x0D},
    {0x02, 'T', '1'},
    {0x00},
    {0x03, '<', '2', '>'},
    {0x02, 0x0D, 0x0A},
    {0x03, 0x01, 0x02, 0x03},
    {0x02, 0x0D, 0x0A},
}};

constexpr int kFirstByteSlot = 10;   // 10..18: C0 00..08
constexpr int kFirstIsoSlot = 20;    // 20..23: C0 10..13
constexpr int kFirstStringSlot = 24; // 24..31: C1 10..4F

std::string hex(const std::uint8_t* bytes, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
        text += (i == 0 ? "" : " ");
        text += digits;
    }
    return text;
}

// The simulator's memory file for these 20 byte parameters and 64 string bytes.
std::string memoryText(const std::array<std::uint8_t, 20>& bytes,
                       const std::array<std::uint8_t, 64>& strings) {
    return "C0 " + hex(bytes.data(), bytes.size()) + "\nC1 " + hex(strings.data(), strings.size()) +
           "\n";
}

std::array<std::uint8_t, 64> presetStringBytes() {
    std::array<std::uint8_t, 64> strings{};
    for (std::size_t i = 0; i < 8; ++i) {
        std::copy(kPresetStrings[i].begin(), kPresetStrings[i].end(), strings.begin() + 8 * i);
    }
    return strings;
}

Bytes readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeText(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

std::string tailOf(const fs::path& file) {
    const Bytes bytes = readBytes(file);
    const std::size_t start = bytes.size() > 2000 ? bytes.size() - 2000 : 0;
    return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end());
}

std::uint8_t dataByte(const Bytes& file, int slot, int index) {
    return file.at(SettingsImage::dataOffset(slot) + static_cast<std::size_t>(index));
}

// What the reader's memory must hold after "via RS232" programmed the settings of `file` into a
// reader whose byte parameters 0x09..0x0F are zero: every byte the six frames carry.
std::string memoryProgrammedFrom(const Bytes& file) {
    std::array<std::uint8_t, 20> bytes{};
    for (int i = 0; i < 9; ++i) {
        bytes[static_cast<std::size_t>(i)] = dataByte(file, kFirstByteSlot + i, 0);
    }
    for (int i = 0; i < 4; ++i) {
        bytes[static_cast<std::size_t>(0x10 + i)] = dataByte(file, kFirstIsoSlot + i, 0);
    }
    std::array<std::uint8_t, 64> strings{};
    for (int s = 0; s < 8; ++s) {
        for (int i = 0; i < 8; ++i) {
            strings[static_cast<std::size_t>(8 * s + i)] = dataByte(file, kFirstStringSlot + s, i);
        }
    }
    return memoryText(bytes, strings);
}

// Frame 0 of "via RS232" for the settings of `file`: the nine byte parameters.
std::string firstWriteFrameOf(const Bytes& file) {
    std::string frame = "1B 1D C0 00 09";
    for (int i = 0; i < 9; ++i) {
        const std::uint8_t value = dataByte(file, kFirstByteSlot + i, 0);
        frame += " " + hex(&value, 1);
    }
    return frame;
}

// The offsets at which two settings files differ, for a failure message.
std::vector<std::size_t> differences(const Bytes& a, const Bytes& b) {
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        if (i >= a.size() || i >= b.size() || a[i] != b[i]) {
            offsets.push_back(i);
        }
    }
    return offsets;
}

std::string offsetList(const std::vector<std::size_t>& offsets) {
    std::ostringstream text;
    for (std::size_t i = 0; i < offsets.size() && i < 20; ++i) {
        text << (i == 0 ? "" : ", ") << "0x" << std::hex << offsets[i];
    }
    if (offsets.size() > 20) {
        text << ", ...";
    }
    return text.str();
}

using Texts = std::vector<std::string>;

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (!folder.empty() && ::access((fs::path(folder) / program).c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class ToolAgainstReader : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder_.path().empty()) << "no temporary folder";
        for (const char* program : {"Xvfb", "xdotool", "import", "convert", "tesseract"}) {
            ASSERT_TRUE(onPath(program))
                << program << " is missing: scripts/install-deps test installs it";
        }
        for (const char* sub : {"ports", "work", "home", "runtime", "scratch"}) {
            fs::create_directories(folder_.path() / sub);
        }
        ::chmod((folder_.path() / "runtime").c_str(), 0700);
        std::string error;
        ASSERT_TRUE(display_.start(file("xvfb.log"), error)) << error;
        screen_.emplace(display_.name(), folder_.path() / "scratch");
        reader_.emplace(R550_SIM_PROGRAM, folder_.path());
    }

    void TearDown() override {
        if (HasFailure()) {
            keepArtifacts();
        }
        tool_.stop();
        reader_.reset();
        display_.stop();
    }

    fs::path file(const std::string& name) const { return folder_.path() / name; }
    fs::path workFile(const std::string& name) const { return folder_.path() / "work" / name; }
    fs::path tracePath() const { return file("trace.txt"); }

    testing::AssertionResult startReader(const std::string& name,
                                         const std::vector<std::string>& switches = {}) {
        std::string error;
        if (!reader_->start(name, switches, error)) {
            return testing::AssertionFailure() << error;
        }
        return testing::AssertionSuccess();
    }

    // The program from the build, with the test's ports folder and the keyboard-port trace, in
    // a working folder of its own (where it writes "Default.cfg").
    testing::AssertionResult startTool(const std::string& portIo = "") {
        ChildProcess::Options options;
        options.arguments = {R550_TOOL_PROGRAM};
        options.environment = {
            {"DISPLAY", display_.name()},
            {"R550_PORTS_DIR", (folder_.path() / "ports").string()},
            {"R550_PORT_IO", portIo.empty() ? "trace:" + tracePath().string() : portIo},
            {"QT_QPA_PLATFORM", "xcb"},
            {"HOME", (folder_.path() / "home").string()},
            {"XDG_CONFIG_HOME", (folder_.path() / "home" / ".config").string()},
            {"XDG_RUNTIME_DIR", (folder_.path() / "runtime").string()},
            {"WINEPREFIX", ""},
        };
        options.workingFolder = folder_.path() / "work";
        options.outputFile = file("tool.out");
        std::string error;
        toolStarted_ = std::chrono::steady_clock::now();
        if (!tool_.start(options, error)) {
            return testing::AssertionFailure() << error;
        }
        return testing::AssertionSuccess();
    }

    std::optional<ScreenWindow> findWindow(const std::string& caption, bool transfer) const {
        for (const ScreenWindow& window : screen_->visibleWindows()) {
            const bool isTransfer =
                window.width == kTransferWidth && window.height == kTransferHeight;
            if (window.name == caption && isTransfer == transfer) {
                return window;
            }
        }
        return std::nullopt;
    }

    std::optional<ScreenWindow> transferWindow() const { return findWindow(kProgramName, true); }

    std::string showing() {
        std::string text = "windows showing:";
        for (const ScreenWindow& window : screen_->visibleWindows()) {
            text += " \"" + window.name + "\" " + std::to_string(window.width) + "x" +
                    std::to_string(window.height) + ";";
        }
        text += tool_.running() ? " the tool runs" : " the tool has ended";
        return text + "; its output: " + tailOf(file("tool.out"));
    }

    // The main window first shows when the reader detection has ended.
    testing::AssertionResult waitForMainWindow(std::chrono::seconds limit) {
        if (!pollUntil(
                limit, [&] { return (main_ = findWindow(kMainCaption, false)); }, 100ms)) {
            return testing::AssertionFailure() << "the main window did not show within "
                                               << limit.count() << " s; " << showing();
        }
        return testing::AssertionSuccess();
    }

    testing::AssertionResult choose(const std::vector<std::string>& keys) {
        if (!main_ || !screen_->pressKeys(*main_, keys)) {
            return testing::AssertionFailure()
                   << "could not type into the main window; " << showing();
        }
        return testing::AssertionSuccess();
    }

    // Waits for the box with exactly this caption, reads its text off the screen, and closes it
    // with Enter as the operator does.
    testing::AssertionResult expectMessage(const std::string& caption, const std::string& text,
                                           std::chrono::seconds limit = 30s) {
        return expectMessage(caption, std::vector<std::string>{text}, limit);
    }

    // The same for a box that shows every one of these texts (a message and the reason under
    // it).
    testing::AssertionResult expectMessage(const std::string& caption,
                                           const std::vector<std::string>& texts,
                                           std::chrono::seconds limit = 30s) {
        std::string text;
        for (const std::string& part : texts) {
            text += (text.empty() ? "" : " | ") + part;
        }
        std::optional<ScreenWindow> box;
        if (!pollUntil(
                limit, [&] { return (box = findWindow(caption, false)); }, 100ms)) {
            return testing::AssertionFailure() << "no message box \"" << caption << "\" within "
                                               << limit.count() << " s; " << showing();
        }
        // A box may be mapped a moment before its text is painted: read it a few times.
        std::string seen;
        bool matches = false;
        for (const int scale : {4, 3, 5, 4}) {
            seen = screen_->readText(*box, scale);
            matches = std::all_of(texts.begin(), texts.end(), [&](const std::string& part) {
                return ScreenOperator::normalised(seen).find(ScreenOperator::normalised(part)) !=
                       std::string::npos;
            });
            if (matches) {
                break;
            }
            std::this_thread::sleep_for(200ms);
        }
        screen_->pressKeys(*box, {"Return"});
        const bool closed = pollUntil(10s, [&] {
            const std::vector<ScreenWindow> windows = screen_->visibleWindows();
            return std::none_of(windows.begin(), windows.end(),
                                [&](const ScreenWindow& w) { return w.id == box->id; });
        });
        if (!matches) {
            return testing::AssertionFailure() << "the box \"" << caption << "\" shows \"" << seen
                                               << "\" where \"" << text << "\" was expected";
        }
        if (!closed) {
            return testing::AssertionFailure()
                   << "the box \"" << caption << "\" did not close on Enter; " << showing();
        }
        return testing::AssertionSuccess();
    }

    // Types a full path into the file dialog's name field and confirms it.
    testing::AssertionResult answerFileDialog(const std::string& caption, const fs::path& chosen) {
        std::optional<ScreenWindow> dialog;
        if (!pollUntil(
                15s, [&] { return (dialog = findWindow(caption, false)); }, 100ms)) {
            return testing::AssertionFailure()
                   << "no file dialog \"" << caption << "\" within 15 s; " << showing();
        }
        if (!screen_->pressKeys(*dialog, {"ctrl+a"}) ||
            !screen_->typeText(*dialog, chosen.string()) ||
            !screen_->pressKeys(*dialog, {"Return"})) {
            return testing::AssertionFailure() << "could not type into \"" << caption << "\"";
        }
        if (!pollUntil(10s, [&] { return !findWindow(caption, false); })) {
            return testing::AssertionFailure()
                   << "the file dialog \"" << caption << "\" stayed open; " << showing();
        }
        return testing::AssertionSuccess();
    }

    // The program started, and its search answered with the O key at once: a reader in the
    // keyboard line, found without the keyboard probe's wait.
    testing::AssertionResult startInKeyboardLine() {
        std::optional<ScreenWindow> detection;
        if (!startTool() || !pollUntil(20s, [&] {
                return trace().size() == 3 && (detection = transferWindow()).has_value();
            })) {
            return testing::AssertionFailure() << "no search window; " << showing();
        }
        if (!screen_->pressKeys(*detection, {"o"})) {
            return testing::AssertionFailure() << "could not answer the search";
        }
        return waitForMainWindow(10s);
    }

    // Waits for the window with this caption (no transfer window), answers it with the keys and
    // waits until it has gone.
    testing::AssertionResult answerWindow(const std::string& caption,
                                          const std::vector<std::string>& keys) {
        std::optional<ScreenWindow> box;
        if (!pollUntil(15s, [&] { return (box = findWindow(caption, false)).has_value(); }) ||
            !screen_->pressKeys(*box, keys) ||
            !pollUntil(10s, [&] { return !findWindow(caption, false); })) {
            return testing::AssertionFailure()
                   << "\"" << caption << "\" not answered; " << showing();
        }
        return testing::AssertionSuccess();
    }

    testing::AssertionResult waitForTransferEnd(std::chrono::seconds limit) {
        if (!pollUntil(
                limit, [&] { return !transferWindow(); }, 100ms)) {
            return testing::AssertionFailure()
                   << "the transfer window stayed open for " << limit.count() << " s";
        }
        return testing::AssertionSuccess();
    }

    testing::AssertionResult waitForFrames(std::size_t count, std::chrono::seconds limit) {
        if (!pollUntil(limit, [&] { return reader_->frames().size() >= count; })) {
            return testing::AssertionFailure()
                   << "the reader received " << reader_->frames().size() << " frames within "
                   << limit.count() << " s, not " << count;
        }
        return testing::AssertionSuccess();
    }

    std::vector<PortTrace::Write> trace() const {
        return PortTrace::read(tracePath()).value_or(std::vector<PortTrace::Write>{});
    }

    // The temporary folder and a picture of the screen, beside the test program, for a look at
    // what went wrong.
    void keepArtifacts() {
        const fs::path target = fs::path(R550_E2E_ARTIFACTS) /
                                testing::UnitTest::GetInstance()->current_test_info()->name();
        std::error_code ignored;
        fs::remove_all(target, ignored);
        fs::create_directories(target, ignored);
        screen_->screenshot(target / "screen.png");
        fs::copy(folder_.path(), target,
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks, ignored);
        std::printf("end-to-end artifacts kept in %s\n", target.c_str());
    }

    TempFolder folder_;
    VirtualDisplay display_;
    std::optional<ScreenOperator> screen_;
    std::optional<ReaderSimulator> reader_;
    ChildProcess tool_;
    std::optional<ScreenWindow> main_;
    std::chrono::steady_clock::time_point toolStarted_;
};

// The keyboard probe as the trace shows it.
constexpr const char* kProbeBytes = "1b 05 1e";

TEST_F(ToolAgainstReader, ReaderOnCom3IsFoundProgrammedReadBackAndReset) {
    const auto testStart = std::chrono::steady_clock::now();
    ASSERT_TRUE(startReader("factory", {"--version", "V2.07"}));
    const std::string factoryMemory = reader_->memory();
    ASSERT_FALSE(factoryMemory.empty());
    ASSERT_TRUE(startTool());
    ASSERT_TRUE(waitForMainWindow(60s));
    std::printf("detection of the reader on COM3: %.1f s\n", secondsSince(toolStarted_));

    // Detection: the keyboard probe went unanswered, COM1 and COM2 do not exist, and COM3 got the
    // serial probe and nothing else.
    EXPECT_EQ(PortTrace::bytesOf(trace()), kProbeBytes);
    EXPECT_FALSE(fs::exists(file("ports/com1")));
    EXPECT_FALSE(fs::exists(file("ports/com2")));
    EXPECT_EQ(reader_->frames(), std::vector<std::string>{"1B 00"});
    const Bytes factoryFile = readBytes(workFile("Default.cfg"));
    ASSERT_EQ(factoryFile.size(), SettingsImage::kSize) << "Default.cfg at start";

    // "via RS232" reaches COM3, which the detection chose: six acknowledged frames.
    ASSERT_TRUE(choose(kProgramViaRs232));
    ASSERT_TRUE(expectMessage("System message", "Programming all value ok!", 60s));
    std::vector<std::string> expectedFrames = {"1B 00"};
    expectedFrames.insert(expectedFrames.end(), kFactoryFrames.begin(), kFactoryFrames.end());
    EXPECT_EQ(reader_->frames(), expectedFrames);
    EXPECT_EQ(reader_->memory(), factoryMemory);

    // The firmware version is the reader's own text, under the program's name.
    ASSERT_TRUE(choose(kDetectFirmwareVersion));
    ASSERT_TRUE(expectMessage(kProgramName, "V2.07"));
    EXPECT_EQ(reader_->frames().back(), "1B 01");

    // Another reader on the same port, with other settings: read them back and save them.
    reader_->stop();
    const fs::path preset = file("preset.txt");
    ASSERT_TRUE(writeText(preset, memoryText(kPresetBytes, presetStringBytes())));
    ASSERT_TRUE(startReader("preset", {"--preset", preset.string()}));
    ASSERT_TRUE(choose(kLoadMainSettingFromReader));
    ASSERT_TRUE(waitForFrames(3, 30s));
    EXPECT_EQ(reader_->frames(),
              (std::vector<std::string>{"1B 1C C0 00 09", "1B 1C C1 10 40", "1B 1C C0 10 04"}));
    ASSERT_TRUE(waitForTransferEnd(10s));
    // This start's Default.cfg is the current file: Save asks for a name.
    ASSERT_TRUE(choose(kSaveSettingFile));
    ASSERT_TRUE(answerFileDialog("Save As", workFile("read-back")));
    ASSERT_TRUE(expectMessage("System Message", "Save settings file ok!"));
    const Bytes readBack = readBytes(workFile("read-back.cfg"));
    ASSERT_EQ(readBack.size(), SettingsImage::kSize);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(dataByte(readBack, kFirstByteSlot + i, 0), kPresetBytes[std::size_t(i)])
            << "byte parameter " << i;
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(dataByte(readBack, kFirstIsoSlot + i, 0), kPresetBytes[std::size_t(0x10 + i)])
            << "byte parameter 0x1" << i;
    }
    for (int s = 0; s < 8; ++s) {
        const auto& string = kPresetStrings[std::size_t(s)];
        for (int i = 0; i <= string[0]; ++i) {
            EXPECT_EQ(dataByte(readBack, kFirstStringSlot + s, i), string[std::size_t(i)])
                << "string " << s << ", byte " << i;
        }
    }
    EXPECT_EQ(readBack[offsetOf("main.operating_mode")], SettingTable::kModeRs232);
    EXPECT_EQ(readBack[offsetOf("main.com_port")], 3);
    const fs::path restore = file("restore.cfg");
    fs::copy_file(workFile("read-back.cfg"), restore);

    // Reset: the reader is back at its factory values, and so are the settings and Default.cfg.
    // Only the link settings of this run and the characters behind the shorter factory strings
    // stay different from the file written at start.
    ASSERT_TRUE(choose(kResetReader));
    ASSERT_TRUE(expectMessage("System message", "Reset all to default value ok!"));
    EXPECT_EQ(reader_->frames().back(), "1B 21 01 FF");
    EXPECT_TRUE(pollUntil(5s, [&] { return reader_->memory() == factoryMemory; }))
        << reader_->memory();
    const Bytes afterReset = readBytes(workFile("Default.cfg"));
    std::vector<std::size_t> allowed = {offsetOf("main.operating_mode"), offsetOf("main.com_port")};
    for (int s = 0; s < 8; ++s) {
        for (int i = 3; i < SettingsImage::kDataBytes; ++i) {
            allowed.push_back(SettingsImage::dataOffset(kFirstStringSlot + s) + std::size_t(i));
        }
    }
    std::vector<std::size_t> unexpected;
    for (const std::size_t offset : differences(afterReset, factoryFile)) {
        if (std::find(allowed.begin(), allowed.end(), offset) == allowed.end()) {
            unexpected.push_back(offset);
        }
    }
    EXPECT_TRUE(unexpected.empty()) << "Default.cfg after the reset differs from the factory "
                                       "file at "
                                    << offsetList(unexpected);
    EXPECT_EQ(afterReset.at(offsetOf("main.operating_mode")), SettingTable::kModeRs232);
    EXPECT_EQ(afterReset.at(offsetOf("main.com_port")), 3);

    // Load the saved settings, save them under a name without extension, program them.
    ASSERT_TRUE(choose(kLoadSettingFile));
    ASSERT_TRUE(answerFileDialog("Open", restore));
    ASSERT_TRUE(expectMessage("System Message", "Load settings file ok!"));
    ASSERT_TRUE(choose(kSaveSettingFileAs));
    ASSERT_TRUE(answerFileDialog("Save As", workFile("copy")));
    ASSERT_TRUE(expectMessage("System Message", "Save settings file ok!"));
    const Bytes restored = readBytes(restore);
    const Bytes copy = readBytes(workFile("copy.cfg"));
    EXPECT_TRUE(copy == restored) << "copy.cfg differs from the loaded file at "
                                  << offsetList(differences(copy, restored));
    ASSERT_TRUE(choose(kProgramViaRs232));
    ASSERT_TRUE(expectMessage("System message", "Programming all value ok!", 60s));
    const std::string programmed = memoryProgrammedFrom(restored);
    EXPECT_TRUE(pollUntil(5s, [&] { return reader_->memory() == programmed; }))
        << "reader memory\n"
        << reader_->memory() << "expected\n"
        << programmed;

    // Another program holds COM3: the message names it under the error.
    {
        ChildProcess holder;
        std::string error;
        const fs::path held = folder_.path() / "ports" / "com3";
        ASSERT_TRUE(holder.start(
            {{"flock", "--exclusive", held.string(), "sleep", "60"}, {}, {}, {}}, error))
            << error;
        ASSERT_TRUE(pollUntil(5s, [&] {
            return ChildProcess::run({"flock", "--exclusive", "--nonblock", held.string(), "true"})
                       .exitCode != 0;
        }));
        ASSERT_TRUE(choose(kProgramViaRs232));
        ASSERT_TRUE(expectMessage("Error message",
                                  Texts{"Programming all value error!", "COM3", "is open in"}));
    }

    // A reader that answers nothing: the first frame goes out, the programming fails.
    reader_->stop();
    ASSERT_TRUE(startReader("silent", {"--silent"}));
    ASSERT_TRUE(choose(kProgramViaRs232));
    ASSERT_TRUE(expectMessage(
        "Error message", Texts{"Programming all value error!", "did not answer within 0.5 s"}));
    EXPECT_EQ(reader_->frames(), std::vector<std::string>{firstWriteFrameOf(restored)});

    // Nothing of this went to the keyboard controller.
    EXPECT_EQ(PortTrace::bytesOf(trace()), kProbeBytes);
    std::printf("reader on COM3: %.1f s\n", secondsSince(testStart));
}

TEST_F(ToolAgainstReader, WithoutReaderNothingIsSelectedAndSerialCommandsFail) {
    ASSERT_TRUE(startTool());
    ASSERT_TRUE(waitForMainWindow(60s));
    // The keyboard probe waits more than 10 s for its answer; no port opens after it.
    const double detection = secondsSince(toolStarted_);
    std::printf("detection without a reader: %.1f s\n", detection);
    EXPECT_GT(detection, 10.0);
    EXPECT_EQ(PortTrace::bytesOf(trace()), kProbeBytes);
    const Bytes factoryFile = readBytes(workFile("Default.cfg"));
    ASSERT_EQ(factoryFile.size(), SettingsImage::kSize);

    // The reset turns to RS232, finds no port, says so, and still puts the factory values into
    // the settings and Default.cfg, with the port still unknown. (It comes first: storing the
    // Main Settings page, as "via RS232" does, turns the unknown port into 0.)
    ASSERT_TRUE(choose(kResetReader));
    ASSERT_TRUE(expectMessage("Error message", "Reset all to default value error!"));
    const Bytes afterReset = readBytes(workFile("Default.cfg"));
    ASSERT_EQ(afterReset.size(), SettingsImage::kSize);
    EXPECT_EQ(afterReset[offsetOf("main.operating_mode")], SettingTable::kModeRs232);
    EXPECT_EQ(afterReset[offsetOf("main.com_port")], SettingTable::kUnknown);
    std::vector<std::size_t> unexpected;
    for (const std::size_t offset : differences(afterReset, factoryFile)) {
        if (offset != offsetOf("main.operating_mode") && offset != offsetOf("main.com_port")) {
            unexpected.push_back(offset);
        }
    }
    EXPECT_TRUE(unexpected.empty())
        << "Default.cfg after the reset differs from the factory file at "
        << offsetList(unexpected);

    // Still no port: "via RS232" has none to open.
    ASSERT_TRUE(choose(kProgramViaRs232));
    ASSERT_TRUE(expectMessage("Error message", "Programming all value error!"));
    EXPECT_EQ(PortTrace::bytesOf(trace()), kProbeBytes);
}

TEST_F(ToolAgainstReader, OKeyDuringDetectionMeansReaderInKeyboardLine) {
    // A reader on COM3 as well: the O key ends the search before any serial port is tried.
    ASSERT_TRUE(startReader("unused"));
    ASSERT_TRUE(startTool());
    std::optional<ScreenWindow> detection;
    ASSERT_TRUE(pollUntil(
        20s, [&] { return trace().size() == 3 && (detection = transferWindow()).has_value(); }))
        << "no detection window after the keyboard probe; " << showing();
    ASSERT_TRUE(screen_->pressKeys(*detection, {"o"}));
    ASSERT_TRUE(waitForMainWindow(5s));
    const double detectionTime = secondsSince(toolStarted_);
    std::printf("detection answered by the O key: %.1f s\n", detectionTime);
    EXPECT_LT(detectionTime, 10.0);
    EXPECT_TRUE(reader_->frames().empty());

    // Commands for a reader on RS232 refuse.
    ASSERT_TRUE(choose(kLoadMainSettingFromReader));
    ASSERT_TRUE(expectMessage("Error message", "This function only for rs232!"));
    ASSERT_TRUE(choose(kDetectFirmwareVersion));
    ASSERT_TRUE(expectMessage("Error message", "This function only for rs232!"));

    // The reset in the keyboard line: one frame with its escaped 0xFF and checksum on port 0x60,
    // one byte every 100 ms (the same pacing as the programming batch, whose 168 writes are
    // checked on the fake clock in OperationsThroughEngineTest and KeyboardPortLinkTest, with no
    // pause after the batch's closing byte). The frame's last byte is followed by its pause and
    // then at once by the box. The time from the last look at a trace without that byte to the
    // first look at the box bounds the real gap from above.
    ASSERT_TRUE(choose(kResetReader));
    std::optional<std::chrono::steady_clock::time_point> incompleteAt;
    std::optional<std::chrono::steady_clock::time_point> boxAt;
    ASSERT_TRUE(pollUntil(
        60s,
        [&] {
            const auto before = std::chrono::steady_clock::now();
            if (trace().size() < 3 + 6) {
                incompleteAt = before;
            }
            if (screen_->showsWindowMatching("^System message$")) {
                boxAt = std::chrono::steady_clock::now();
                return true;
            }
            return false;
        },
        5ms))
        << "no box after the reset; " << showing();
    ASSERT_TRUE(incompleteAt.has_value());
    const auto boxAfter =
        std::chrono::duration_cast<std::chrono::milliseconds>(*boxAt - *incompleteAt);
    std::printf("the box showed at most %lld ms after the last port write\n",
                static_cast<long long>(boxAfter.count()));
    EXPECT_LT(boxAfter.count(), 100 + 100) << "more than the last byte's pause delays the box";
    ASSERT_TRUE(expectMessage("System message", "Reset all to default value ok!"));
    const std::vector<PortTrace::Write> all = trace();
    ASSERT_EQ(all.size(), 3u + 6u) << PortTrace::bytesOf(all);
    const std::vector<PortTrace::Write> frame(all.begin() + 3, all.end());
    EXPECT_EQ(PortTrace::bytesOf(frame), "1b 21 01 e0 1f c4");
    std::int64_t longest = 0;
    for (std::size_t i = 0; i < frame.size(); ++i) {
        EXPECT_EQ(frame[i].port, 0x60) << "write " << i;
        if (i > 0) {
            const std::int64_t gap = frame[i].milliseconds - frame[i - 1].milliseconds;
            longest = std::max(longest, gap);
            EXPECT_GE(gap, 95) << "gap before write " << i;
            EXPECT_LE(gap, 400) << "gap before write " << i;
        }
    }
    const double mean =
        double(frame.back().milliseconds - frame.front().milliseconds) / double(frame.size() - 1);
    std::printf("keyboard reset: %zu writes, mean gap %.1f ms, longest %lld ms\n", frame.size(),
                mean, static_cast<long long>(longest));
    EXPECT_GE(mean, 99.0);
    EXPECT_LE(mean, 130.0);
    EXPECT_TRUE(reader_->frames().empty());
}

// No edit is lost without a question, and a Load asks before it takes a picture.
TEST_F(ToolAgainstReader, EditsAreNeverLostWithoutAQuestion) {
    ASSERT_TRUE(startInKeyboardLine());
    const Bytes startFile = readBytes(workFile("Default.cfg"));

    // Save at start asks for a name; the dialog is cancelled.
    ASSERT_TRUE(choose({"ctrl+s"}) && answerWindow("Save As", {"Escape"}));

    // A picture is no settings file: No (the default) keeps the pages, as a save shows. (Taken,
    // its bytes would give the port "Com 68" and other settings of no reader.)
    const std::string png =
        std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16) + std::string(1000, 'D');
    ASSERT_TRUE(writeText(workFile("picture.cfg"), png));
    ASSERT_TRUE(choose(kLoadSettingFile));
    ASSERT_TRUE(answerFileDialog("Open", workFile("picture.cfg")));
    ASSERT_TRUE(
        expectMessage(kProgramName, Texts{"does not look like a settings file", "1016 bytes"}));
    ASSERT_TRUE(choose(kSaveSettingFileAs));
    ASSERT_TRUE(answerFileDialog("Save As", workFile("kept")));
    ASSERT_TRUE(expectMessage("System Message", "Save settings file ok!"));
    const std::vector<std::size_t> changed =
        differences(readBytes(workFile("kept.cfg")), startFile);
    EXPECT_TRUE(std::all_of(changed.begin(), changed.end(), [](std::size_t offset) {
        return offset == offsetOf("main.operating_mode") || offset == offsetOf("main.com_port");
    })) << offsetList(changed);

    // An edit (the buzzer), then Escape: the question; Escape in it stays, edit and all, so that
    // the next Escape asks again. The buzzer set back, Escape ends the program at once.
    ASSERT_TRUE(screen_->click(*main_, 100, 335));
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(choose({"Escape"}) && answerWindow(kProgramName, {"Escape"}));
        ASSERT_TRUE(tool_.running());
    }
    // Load asks too; Cancel (Escape) opens no file dialog.
    ASSERT_TRUE(choose(kLoadSettingFile) && answerWindow(kProgramName, {"Escape"}));
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(findWindow("Open", false)) << showing();
    ASSERT_TRUE(screen_->click(*main_, 100, 335) && choose({"Escape"}));
    EXPECT_TRUE(pollUntil(10s, [&] { return !tool_.running(); })) << showing();
}

// The search from the Reader menu redraws the page and undoes itself on Escape; programming cut
// short by CANCEL says what the reader may hold.
TEST_F(ToolAgainstReader, SearchAndCancelledProgrammingLeaveNothingUnsaid) {
    const auto testStart = std::chrono::steady_clock::now();
    ASSERT_TRUE(startReader("factory"));
    ASSERT_TRUE(startInKeyboardLine());

    // From Keyboard Wedge, the search finds COM3, and the page shows its port row.
    ASSERT_TRUE(choose({"alt+r", "s"}));
    ASSERT_TRUE(pollUntil(30s, [&] { return reader_->frames().size() == 1; }));
    ASSERT_TRUE(waitForTransferEnd(10s));
    EXPECT_NE(ScreenOperator::normalised(screen_->readText(*main_, 3)).find("comport"),
              std::string::npos);

    // CANCEL once the second block is acknowledged: the partial note, with the count.
    ASSERT_TRUE(choose(kProgramViaRs232));
    ASSERT_TRUE(waitForFrames(4, 30s));
    ASSERT_TRUE(transferWindow() && screen_->pressKeys(*transferWindow(), {"Return"}));
    ASSERT_TRUE(expectMessage("Error message", Texts{"Programming all value error!",
                                                     "part of the new settings", "2 of the 6"}));

    // Escape in a second search leaves the port found before: the reset reaches the reader.
    ASSERT_TRUE(choose({"alt+r", "s"}));
    ASSERT_TRUE(pollUntil(10s, [&] { return transferWindow().has_value(); }));
    ASSERT_TRUE(screen_->pressKeys(*transferWindow(), {"Escape"}));
    ASSERT_TRUE(waitForTransferEnd(10s));
    ASSERT_TRUE(choose(kResetReader));
    ASSERT_TRUE(expectMessage("System message", "Reset all to default value ok!"));
    EXPECT_EQ(reader_->frames().back(), "1B 21 01 FF");
    std::printf("search and cancelled programming: %.1f s\n", secondsSince(testStart));
}

// --- Files that are no settings files ----------------------------------------------------------

// What a path is, as far as a writer could change it: its type, node, device and link target.
std::string whatIs(const fs::path& path) {
    struct stat entry {};
    std::error_code error;
    return ::lstat(path.c_str(), &entry) != 0
               ? "nothing"
               : std::to_string(entry.st_mode) + " " + std::to_string(entry.st_ino) + " " +
                     std::to_string(entry.st_rdev) + " " + fs::read_symlink(path, error).string();
}

// A kind of file that a settings file must never replace, as the refusal names it, and how to
// make one (false where it cannot be made: a device node needs root).
struct OddTarget {
    const char* stem;
    const char* kind;
    std::function<bool(const fs::path&)> make;
};

// r550ctl with these arguments ("{}": the target) must refuse the target by its kind, exit 2.
auto ctlRefuses(std::vector<std::string> arguments) {
    return [arguments](const fs::path& target, const OddTarget& odd) {
        std::vector<std::string> command = {R550_CTL_PROGRAM};
        for (const std::string& argument : arguments) {
            command.push_back(argument == "{}" ? target.string() : argument);
        }
        const ChildProcess::Result run = ChildProcess::run(command);
        return testing::AssertionResult(run.exitCode == 2 &&
                                        run.errors.find(odd.kind) != std::string::npos)
               << run.exitCode << ": " << run.errors;
    };
}

// Every writer of settings files against every kind of odd target: each refuses, each target
// stays what it was, nothing is created.
TEST_F(ToolAgainstReader, NoWriterReplacesWhatIsNoSettingsFile) {
    const fs::path work = folder_.path() / "work";
    const std::vector<OddTarget> targets = {
        {"pipe", "is a named pipe",
         [](const fs::path& p) { return ::mkfifo(p.c_str(), 0644) == 0; }},
        {"device", "is a device",
         [](const fs::path& p) { return ::mknod(p.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; }},
        {"folder", "is a folder", [](const fs::path& p) { return fs::create_directory(p); }},
        {"dangling", "is a symbolic link to nothing",
         [&](const fs::path& p) { return ::symlink((work / "gone.cfg").c_str(), p.c_str()) == 0; }},
    };
    // The window's Save as, typed without ".cfg" (which the window adds, and so a folder is not
    // opened by the dialog); an existing NAME.cfg is confirmed when the window asks.
    const auto saveAs = [&](const fs::path& target, const OddTarget& odd) {
        std::optional<ScreenWindow> question;
        if (!choose(kSaveSettingFileAs) || !answerFileDialog("Save As", work / odd.stem) ||
            (fs::exists(target) &&
             (!pollUntil(10s, [&] { return (question = findWindow(kProgramName, false)); }) ||
              !screen_->pressKeys(*question, {"alt+y"}) || !pollUntil(10s, [&] {
                  return findWindow(kProgramName, false).value_or(ScreenWindow{}).id !=
                         question->id;
              })))) {
            return testing::AssertionFailure() << "could not save as; " << showing();
        }
        return expectMessage(kProgramName,
                             {"could not be opened or written", odd.kind, "not a settings file"});
    };
    const std::vector<std::pair<
        const char*, std::function<testing::AssertionResult(const fs::path&, const OddTarget&)>>>
        writers = {
            {"r550ctl new --force", ctlRefuses({"new", "{}", "--force"})},
            {"r550ctl set", ctlRefuses({"set", "{}", "main.buzzer=off"})},
            {"r550ctl read -o --force", ctlRefuses({"read", "-p", "1", "-o", "{}", "--force"})},
            {"the window's Save as", saveAs},
        };

    ASSERT_TRUE(startInKeyboardLine()); // the search ends at once
    std::size_t made = 0;
    for (const OddTarget& odd : targets) {
        const fs::path target = work / (std::string(odd.stem) + ".cfg");
        if (!odd.make(target)) {
            std::printf("%s cannot be made here; skipped\n", target.c_str());
            continue;
        }
        ++made;
        const std::string before = whatIs(target);
        for (const auto& [name, write] : writers) {
            EXPECT_TRUE(write(target, odd)) << name << " to " << odd.stem;
            EXPECT_EQ(whatIs(target), before) << name << " changed " << odd.stem;
        }
    }
    // Beside them only Default.cfg: no temporary file, nothing where the link leads.
    EXPECT_EQ(std::distance(fs::directory_iterator(work), {}),
              static_cast<std::ptrdiff_t>(made + 1));
}

} // namespace

// The start-up search through the port helper, with stand-ins for polkit where the test build
// looks for pkexec, pkcheck and the helper: pkcheck allows the action without a password (or
// refuses it), pkexec runs the test build of the helper, whose port writes go to the trace.
TEST_F(ToolAgainstReader, StartUpSearchProbesTheKeyboardLineThroughTheHelper) {
    const fs::path standIns = R550_STAND_INS;
    if (standIns.empty()) {
        GTEST_SKIP()
            << "configure with -DR550_STAND_INS=FOLDER to run the search through the helper";
    }
    fs::create_directories(standIns);
    fs::remove(standIns / "r550-portio");
    fs::create_symlink(R550_PORTIO_RECORDING, standIns / "r550-portio");
    const auto script = [&](const std::string& name, const std::string& body) {
        writeText(standIns / name, "#!/bin/sh\n" + body + "\n");
        fs::permissions(standIns / name, fs::perms::owner_all);
    };
    script("pkexec", "exec \"$@\" '" + tracePath().string() + "' '" + file("lock").string() + "'");
    ASSERT_TRUE(startReader("factory"));
    for (const bool allowed : {true, false}) {
        SCOPED_TRACE(allowed ? "pkcheck allows" : "pkcheck refuses");
        fs::remove(tracePath());
        script("pkcheck", allowed ? "exit 0" : "exit 1");
        ASSERT_TRUE(startTool("helper"));
        ASSERT_TRUE(waitForMainWindow(60s));
        // The probe went out through the helper, or nothing at all; the search then went on to
        // the serial ports and found the reader on COM3.
        EXPECT_EQ(PortTrace::bytesOf(trace()), allowed ? kProbeBytes : "");
        ASSERT_FALSE(reader_->frames().empty());
        EXPECT_EQ(reader_->frames().back(), "1B 00");
        tool_.stop();
    }
    EXPECT_EQ(reader_->frames().size(), 2U);
    fs::remove_all(standIns); // no other test of this build meets them
}

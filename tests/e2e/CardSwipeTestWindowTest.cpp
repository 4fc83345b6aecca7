// The card swipe test as an operator meets it: the tool starts before the reader, the search is
// run again once the reader is there, a global suffix of {13}{10} is programmed, a card is
// swiped and read in the "Card swipe test" window, the full number shown only when asked, and
// nothing of the card is left in any file afterwards.

#include "ChildProcess.h"
#include "Poll.h"
#include "ScreenOperator.h"
#include "VirtualDisplay.h"
#include "settings/SettingsImage.h"
#include "support/TempFolder.h"

#include <cctype>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kMainCaption = "Tarvik--R550 Programming Tools V1.00";
constexpr const char* kCard = "%B4111111111111111^TEST/CARD^2512101?;4111111111111111=2512101?";
constexpr const char* kNumber = "4111111111111111";

Bytes readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string normalised(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)) == 0) {
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return out;
}

// Every regular file under `folder` that holds `text`.
std::vector<std::string> filesHolding(const fs::path& folder, const std::string& text) {
    std::vector<std::string> found;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
        if (entry.is_regular_file()) {
            const Bytes bytes = readBytes(entry.path());
            if (std::string(bytes.begin(), bytes.end()).find(text) != std::string::npos) {
                found.push_back(entry.path().string());
            }
        }
    }
    return found;
}

// The factory settings with the reader's global suffix {13}{10} sent, and on every track its
// sentinels instead of its own suffix.
Bytes withGlobalSuffix(Bytes file) {
    file.at(SettingsImage::dataOffset(SettingsImage::kMsrFlagsSlot)) |= 0x20;
    const std::size_t suffix = SettingsImage::dataOffset(SettingsImage::kMsrSuffixSlot);
    file.at(suffix) = 2;
    file.at(suffix + 1) = 13;
    file.at(suffix + 2) = 10;
    for (int track = 0; track < 3; ++track) {
        std::uint8_t& flags =
            file.at(SettingsImage::dataOffset(SettingsImage::kTrackFlagsSlot + track));
        flags = static_cast<std::uint8_t>((flags & ~0x20) | 0x18);
    }
    return file;
}

class CardSwipeTestWindow : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* sub : {"ports", "work", "home", "runtime", "scratch"}) {
            fs::create_directories(folder_.path() / sub);
        }
        std::string error;
        ASSERT_TRUE(display_.start(folder_.path() / "xvfb.log", error)) << error;
        screen_.emplace(display_.name(), folder_.path() / "scratch");
    }

    bool startTool(std::string& error) {
        ChildProcess::Options options;
        options.arguments = {R550_TOOL_PROGRAM};
        options.environment = {{"DISPLAY", display_.name()},
                               {"R550_PORTS_DIR", (folder_.path() / "ports").string()},
                               {"R550_PORT_IO", "none"},
                               {"QT_QPA_PLATFORM", "xcb"},
                               {"HOME", (folder_.path() / "home").string()},
                               {"XDG_CONFIG_HOME", (folder_.path() / "home" / ".config").string()},
                               {"XDG_RUNTIME_DIR", (folder_.path() / "runtime").string()},
                               {"WINEPREFIX", ""}};
        options.workingFolder = folder_.path() / "work";
        options.outputFile = folder_.path() / "tool.out";
        return tool_.start(options, error);
    }

    bool startReader(std::string& error) {
        ChildProcess::Options options;
        options.arguments = {R550_SIM_PROGRAM,
                             "--link",
                             (folder_.path() / "ports" / "com1").string(),
                             "--log",
                             (folder_.path() / "frames.log").string(),
                             "--card",
                             kCard};
        options.outputFile = folder_.path() / "sim.out";
        return reader_.start(options, error) && pollUntil(10s, [&] {
                   const Bytes out = readBytes(folder_.path() / "sim.out");
                   return std::string(out.begin(), out.end()).find("COM link") != std::string::npos;
               });
    }

    std::optional<ScreenWindow> window(const std::string& caption) const {
        for (const ScreenWindow& window : screen_->visibleWindows()) {
            if (window.name == caption) {
                return window;
            }
        }
        return std::nullopt;
    }

    std::optional<ScreenWindow> waitFor(const std::string& caption, std::chrono::seconds limit) {
        std::optional<ScreenWindow> found;
        pollUntil(
            limit, [&] { return (found = window(caption)).has_value(); }, 100ms);
        return found;
    }

    // Reads the box with this caption, closes it with Enter; true when it showed `text`.
    bool answerBox(const std::string& caption, const std::string& text,
                   std::chrono::seconds limit) {
        const std::optional<ScreenWindow> box = waitFor(caption, limit);
        if (!box) {
            return false;
        }
        std::this_thread::sleep_for(300ms);
        const bool shows =
            normalised(screen_->readText(*box, 4)).find(normalised(text)) != std::string::npos;
        screen_->pressKeys(*box, {"Return"});
        return shows && pollUntil(10s, [&] { return !window(caption); });
    }

    // What the swipe test window shows, read a few times until `expected` appears in it.
    std::string readUntil(const ScreenWindow& test, const std::string& expected) {
        std::string seen;
        for (const int scale : {4, 3, 5}) {
            seen = normalised(screen_->readText(test, scale));
            if (seen.find(expected) != std::string::npos) {
                break;
            }
        }
        return seen;
    }

    TempFolder folder_;
    VirtualDisplay display_;
    std::optional<ScreenOperator> screen_;
    ChildProcess tool_;
    ChildProcess reader_;
};

TEST_F(CardSwipeTestWindow, SearchFindsALateReaderAndASwipeShowsItsSuffixAndAHiddenNumber) {
    std::string error;
    ASSERT_TRUE(startTool(error)) << error;
    std::optional<ScreenWindow> main = waitFor(kMainCaption, 60s);
    ASSERT_TRUE(main) << "no main window";

    // The settings to program: Load them, then look for the reader, which only now comes.
    const fs::path settings = folder_.path() / "suffix.cfg";
    {
        const Bytes factory = readBytes(folder_.path() / "work" / "Default.cfg");
        ASSERT_EQ(factory.size(), SettingsImage::kSize);
        const Bytes changed = withGlobalSuffix(factory);
        std::ofstream(settings, std::ios::binary)
            .write(reinterpret_cast<const char*>(changed.data()),
                   static_cast<std::streamsize>(changed.size()));
    }
    ASSERT_TRUE(screen_->pressKeys(*main, {"alt+f", "l"}));
    const std::optional<ScreenWindow> open = waitFor("Open", 15s);
    ASSERT_TRUE(open);
    ASSERT_TRUE(screen_->pressKeys(*open, {"ctrl+a"}) &&
                screen_->typeText(*open, settings.string()) &&
                screen_->pressKeys(*open, {"Return"}));
    ASSERT_TRUE(answerBox("System Message", "Load settings file ok!", 15s));

    ASSERT_TRUE(startReader(error)) << error;
    ASSERT_TRUE(screen_->pressKeys(*main, {"ctrl+r"}));
    ASSERT_TRUE(pollUntil(20s, [&] { return window("r550tool").has_value(); }))
        << "no search window";
    ASSERT_TRUE(pollUntil(40s, [&] { return !window("r550tool"); })) << "the search did not end";
    const Bytes frames = readBytes(folder_.path() / "frames.log");
    EXPECT_EQ(std::string(frames.begin(), frames.end()), "1B 00\n") << "COM1 was not probed";

    // "via RS232" goes to COM1, which the search found.
    ASSERT_TRUE(screen_->pressKeys(*main, {"alt+p", "r"}));
    ASSERT_TRUE(answerBox("System message", "Programming all value ok!", 60s));

    ASSERT_TRUE(screen_->pressKeys(*main, {"ctrl+t"}));
    const std::optional<ScreenWindow> test = waitFor("Card swipe test", 15s);
    ASSERT_TRUE(test) << "no test window";
    ASSERT_EQ(::kill(reader_.pid(), SIGUSR1), 0);
    std::this_thread::sleep_for(1s);
    const std::string masked = readUntil(*test, "411111");
    EXPECT_NE(masked.find("411111******1111"), std::string::npos) << masked;
    EXPECT_EQ(masked.find(kNumber), std::string::npos) << masked;
    EXPECT_NE(masked.find("suffix{13}{10}"), std::string::npos) << masked;

    // The list has the focus; Tab past the details to "Show full card numbers".
    ASSERT_TRUE(screen_->pressKeys(*test, {"Tab", "Tab", "space"}));
    const std::string full = readUntil(*test, kNumber);
    EXPECT_NE(full.find(kNumber), std::string::npos) << full;

    ASSERT_TRUE(screen_->pressKeys(*test, {"Escape"}));
    ASSERT_TRUE(pollUntil(10s, [&] { return !window("Card swipe test"); }));
    ASSERT_TRUE(screen_->pressKeys(*main, {"ctrl+q"}));
    ASSERT_TRUE(pollUntil(10s, [&] { return !tool_.running(); }));
    for (const char* where : {"work", "home"}) {
        EXPECT_EQ(filesHolding(folder_.path() / where, "41111111"), std::vector<std::string>{})
            << where;
    }
    EXPECT_EQ(filesHolding(folder_.path() / "tool.out", "41111111").size(), 0u);
}

} // namespace

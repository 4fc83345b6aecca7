// The card swipe test as an operator meets it: the tool starts before the reader, the search is
// run again once the reader is there, a global suffix of {13}{10} is programmed and the pages go
// back to other settings, a card is swiped and read in the "Card swipe test" window, marked from
// the settings the reader holds, the full number shown only when asked, and
// nothing of the card is left in any file afterwards.

#include "Poll.h"
#include "ScreenOperator.h"
#include "VirtualDisplay.h"
#include "settings/SettingsImage.h"
#include "support/ChildProcess.h"
#include "support/FileBytes.h"
#include "support/SettingsByName.h"
#include "support/TempFolder.h"

#include <cctype>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kCard = "%B4111111111111111^TEST/CARD^2512101?;4111111111111111=2512101?";
constexpr const char* kNumber = "4111111111111111";

// The factory settings with the reader's global suffix {13}{10} sent, and on every track its
// sentinels instead of its own suffix.
std::string withGlobalSuffix(std::string file) {
    file.at(flagsOffset("msr")) |= 0x20;
    file.replace(offsetOf("msr.suffix"), 3, "\x02\r\n");
    for (int track = 1; track <= 3; ++track) {
        char& flags = file.at(flagsOffset(trackSection(track)));
        flags = static_cast<char>((flags & ~0x20) | 0x18);
    }
    return file;
}

class CardSwipeTestWindow : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* sub : {"ports", "work", "home", "runtime", "scratch"}) {
            fs::create_directories(path(sub));
        }
        std::string error;
        ASSERT_TRUE(display_.start(path("xvfb.log"), error)) << error;
        screen_.emplace(display_.name(), path("scratch"));
    }

    fs::path path(const std::string& name) const { return folder_.path() / name; }

    bool start(ChildProcess& process, std::vector<std::string> arguments, const char* output) {
        ChildProcess::Options options{std::move(arguments),
                                      {{"DISPLAY", display_.name()},
                                       {"R550_PORTS_DIR", path("ports").string()},
                                       {"R550_PORT_IO", "none"},
                                       {"QT_QPA_PLATFORM", "xcb"},
                                       {"HOME", path("home").string()},
                                       {"XDG_CONFIG_HOME", (path("home") / ".config").string()},
                                       {"XDG_RUNTIME_DIR", path("runtime").string()},
                                       {"WINEPREFIX", ""}},
                                      path("work"),
                                      path(output)};
        std::string error;
        return process.start(options, error);
    }

    std::optional<ScreenWindow> waitFor(const std::string& caption, std::chrono::seconds limit) {
        std::optional<ScreenWindow> found;
        pollUntil(limit, [&] {
            for (const ScreenWindow& window : screen_->visibleWindows()) {
                found = window.name == caption ? window : found;
            }
            return found.has_value();
        });
        return found;
    }

    bool gone(const std::string& caption, std::chrono::seconds limit) {
        return pollUntil(limit, [&] { return !waitFor(caption, 0s); });
    }

    // Reads the box with this caption and closes it with Enter; true when it showed `text`.
    bool answerBox(const std::string& caption, const std::string& text,
                   std::chrono::seconds limit) {
        const std::optional<ScreenWindow> box = waitFor(caption, limit);
        std::this_thread::sleep_for(300ms);
        const bool shows =
            box && ScreenOperator::normalised(screen_->readText(*box, 4))
                           .find(ScreenOperator::normalised(text)) != std::string::npos;
        return shows && screen_->pressKeys(*box, {"Return"}) && gone(caption, 10s);
    }

    // What a window shows, read at a few scales until `expected` appears in it.
    std::string readUntil(const ScreenWindow& window, const std::string& expected) {
        std::string seen;
        for (int scale = 3; scale <= 5 && seen.find(expected) == std::string::npos; ++scale) {
            seen = ScreenOperator::normalised(screen_->readText(window, scale));
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
    ASSERT_TRUE(start(tool_, {R550_TOOL_PROGRAM}, "tool.out"));
    const std::optional<ScreenWindow> main = waitFor("Tarvik--R550 Programming Tools V1.00", 60s);
    ASSERT_TRUE(main) << "no main window";

    // Load the settings to program, then look for the reader, which only comes now.
    const fs::path settings = path("suffix.cfg");
    std::ofstream(settings, std::ios::binary)
        << withGlobalSuffix(fileText(path("work/Default.cfg")));
    ASSERT_TRUE(screen_->pressKeys(*main, {"alt+f", "l"}));
    const std::optional<ScreenWindow> open = waitFor("Open", 15s);
    ASSERT_TRUE(open && screen_->pressKeys(*open, {"ctrl+a"}) &&
                screen_->typeText(*open, settings.string()) &&
                screen_->pressKeys(*open, {"Return"}));
    ASSERT_TRUE(answerBox("System Message", "Load settings file ok!", 15s));
    ASSERT_TRUE(start(reader_,
                      {R550_SIM_PROGRAM, "--link", path("ports/com1").string(), "--log",
                       path("frames.log").string(), "--card", kCard},
                      "sim.out"));
    ASSERT_TRUE(pollUntil(10s, [&] { return fs::exists(path("ports/com1")); }));
    ASSERT_TRUE(screen_->pressKeys(*main, {"ctrl+r"}));
    ASSERT_TRUE(waitFor("r550tool", 20s)) << "no search window";
    ASSERT_TRUE(gone("r550tool", 40s)) << "the search did not end";
    EXPECT_EQ(fileText(path("frames.log")), "1B 00\n") << "COM1 was not probed";

    // "via RS232" goes to COM1, which the search found.
    ASSERT_TRUE(screen_->pressKeys(*main, {"alt+p", "r"}));
    ASSERT_TRUE(answerBox("System message", "Programming all value ok!", 60s));
    // The pages go back to the factory's track suffixes; the marks must still follow the reader.
    std::string factory = fileText(path("work/Default.cfg"));
    factory.at(offsetOf("main.operating_mode")) = SettingTable::kModeRs232;
    factory.at(offsetOf("main.com_port")) = 1;
    std::ofstream(path("factory.cfg"), std::ios::binary) << factory;
    ASSERT_TRUE(screen_->pressKeys(*main, {"alt+f", "l"}));
    const std::optional<ScreenWindow> again = waitFor("Open", 15s);
    ASSERT_TRUE(again && screen_->pressKeys(*again, {"ctrl+a"}) &&
                screen_->typeText(*again, path("factory.cfg").string()) &&
                screen_->pressKeys(*again, {"Return"}));
    ASSERT_TRUE(answerBox("System Message", "Load settings file ok!", 15s));

    ASSERT_TRUE(screen_->pressKeys(*main, {"ctrl+t"}));
    const std::optional<ScreenWindow> test = waitFor("Card swipe test", 15s);
    ASSERT_TRUE(test) << "no test window";
    ASSERT_EQ(::kill(reader_.pid(), SIGUSR1), 0);
    std::this_thread::sleep_for(1s);
    const std::string masked = readUntil(*test, "411111******1111");
    EXPECT_NE(masked.find("411111******1111"), std::string::npos) << masked;
    EXPECT_EQ(masked.find(kNumber), std::string::npos) << masked;
    EXPECT_NE(masked.find("suffix{13}{10}"), std::string::npos) << masked;
    EXPECT_NE(masked.find("markedfromthereader"), std::string::npos) << masked;

    // The list has the focus; Tab past the details to "Show full card numbers".
    ASSERT_TRUE(screen_->pressKeys(*test, {"Tab", "Tab", "space"}));
    const std::string full = readUntil(*test, kNumber);
    EXPECT_NE(full.find(kNumber), std::string::npos) << full;

    ASSERT_TRUE(screen_->pressKeys(*test, {"Escape"}) && gone("Card swipe test", 10s));
    ASSERT_TRUE(screen_->pressKeys(*main, {"ctrl+q"}));
    ASSERT_TRUE(pollUntil(10s, [&] { return !tool_.running(); }));
    const ChildProcess::Result holding =
        ChildProcess::run({"grep", "-rlF", "41111111", path("work").string(), path("home").string(),
                           path("tool.out").string()});
    EXPECT_EQ(holding.exitCode, 1) << "files that hold the number: " << holding.output;
}

} // namespace

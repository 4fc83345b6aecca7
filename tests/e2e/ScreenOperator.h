#pragma once

#include "support/ChildProcess.h"

#include <filesystem>
#include <string>
#include <vector>

// A top-level window as the X server knows it.
struct ScreenWindow {
    std::string id;
    std::string name; // the caption
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The operator's eyes and hands on one X display: lists the windows that are showing, focuses
// them, presses keys and reads the text a window shows off its image (OCR), through xdotool,
// ImageMagick and tesseract. Nothing here looks inside the program.
class ScreenOperator {
public:
    // `scratchFolder` takes the window images that readText() makes.
    ScreenOperator(std::string display, std::filesystem::path scratchFolder)
        : display_(std::move(display)), scratch_(std::move(scratchFolder)) {}

    std::vector<ScreenWindow> visibleWindows() const;
    // Whether a window whose caption matches the extended regular expression (in any case) is
    // showing: one quick query, for waits that time what they see.
    bool showsWindowMatching(const std::string& pattern) const;
    bool focus(const ScreenWindow& window) const;
    // Focuses the window, then presses the keys one after the other; names as xdotool has them
    // ("alt+p", "Down", "Return", "o").
    bool pressKeys(const ScreenWindow& window, const std::vector<std::string>& keys) const;
    // Focuses the window and clicks the left button at x, y inside it.
    bool click(const ScreenWindow& window, int x, int y) const;
    // Focuses the window and types the text character by character.
    bool typeText(const ScreenWindow& window, const std::string& text) const;
    // The text the window shows, read off its image scaled up `scale` times. Empty when the
    // window could not be captured.
    std::string readText(const ScreenWindow& window, int scale) const;
    // OCR text without spaces, in lower case: a message and what tesseract makes of it compare
    // equal, while no two of the tool's messages do.
    static std::string normalised(const std::string& text);
    // The whole screen, for a look after a failure.
    bool screenshot(const std::filesystem::path& file) const;

private:
    ChildProcess::Result run(const std::vector<std::string>& arguments) const;

    std::string display_;
    std::filesystem::path scratch_;
};

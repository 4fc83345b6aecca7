#include "ScreenOperator.h"

#include <cctype>
#include <charconv>
#include <sstream>

namespace {

// Pause between two keys: the menu that a key opens must be showing before the next key.
constexpr const char* kKeyDelayMs = "150";
constexpr const char* kTypeDelayMs = "30";

// "WIDTH=560" lines of `xdotool getwindowgeometry --shell`, then the name on the last line.
bool parseWindow(const std::string& id, const std::string& output, ScreenWindow& window) {
    std::istringstream lines(output);
    std::string line;
    int found = 0;
    window.id = id;
    while (std::getline(lines, line)) {
        const std::size_t equals = line.find('=');
        const std::string key = equals == std::string::npos ? "" : line.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
        if (key == "X" || key == "Y" || key == "WIDTH" || key == "HEIGHT") {
            int& field = key == "X"       ? window.x
                         : key == "Y"     ? window.y
                         : key == "WIDTH" ? window.width
                                          : window.height;
            const auto [end, error] =
                std::from_chars(value.data(), value.data() + value.size(), field);
            if (error == std::errc() && end == value.data() + value.size()) {
                ++found;
            }
        } else if (key != "WINDOW" && key != "SCREEN") {
            window.name = line;
        }
    }
    return found == 4;
}

} // namespace

ChildProcess::Result ScreenOperator::run(const std::vector<std::string>& arguments) const {
    return ChildProcess::run(arguments, {{"DISPLAY", display_}});
}

std::vector<ScreenWindow> ScreenOperator::visibleWindows() const {
    std::vector<ScreenWindow> windows;
    const ChildProcess::Result ids = run({"xdotool", "search", "--onlyvisible", "--name", ""});
    std::istringstream lines(ids.output);
    std::string id;
    while (std::getline(lines, id)) {
        if (id.empty() || id.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        // A window that closed meanwhile makes the query fail; it is simply not listed.
        const ChildProcess::Result details =
            run({"xdotool", "getwindowgeometry", "--shell", id, "getwindowname", id});
        ScreenWindow window;
        if (details.exitCode == 0 && parseWindow(id, details.output, window)) {
            windows.push_back(window);
        }
    }
    return windows;
}

bool ScreenOperator::showsWindowMatching(const std::string& pattern) const {
    return run({"xdotool", "search", "--onlyvisible", "--name", pattern}).exitCode == 0;
}

bool ScreenOperator::focus(const ScreenWindow& window) const {
    return run({"xdotool", "windowfocus", "--sync", window.id}).exitCode == 0;
}

bool ScreenOperator::pressKeys(const ScreenWindow& window,
                               const std::vector<std::string>& keys) const {
    if (!focus(window)) {
        return false;
    }
    std::vector<std::string> arguments = {"xdotool", "key", "--delay", kKeyDelayMs};
    arguments.insert(arguments.end(), keys.begin(), keys.end());
    return run(arguments).exitCode == 0;
}

bool ScreenOperator::click(const ScreenWindow& window, int x, int y) const {
    return focus(window) && run({"xdotool", "mousemove", "--window", window.id, std::to_string(x),
                                 std::to_string(y), "click", "1"})
                                    .exitCode == 0;
}

bool ScreenOperator::typeText(const ScreenWindow& window, const std::string& text) const {
    if (!focus(window)) {
        return false;
    }
    return run({"xdotool", "type", "--delay", kTypeDelayMs, text}).exitCode == 0;
}

std::string ScreenOperator::readText(const ScreenWindow& window, int scale) const {
    const std::filesystem::path shot = scratch_ / ("window-" + window.id + ".png");
    const std::filesystem::path large = scratch_ / ("window-" + window.id + "-large.png");
    if (run({"import", "-window", window.id, shot.string()}).exitCode != 0) {
        return {};
    }
    // Grey and enlarged: the window's small, anti-aliased text reads far more reliably so.
    const std::string resize = std::to_string(100 * scale) + "%";
    if (run({"convert", shot.string(), "-colorspace", "Gray", "-resize", resize, large.string()})
            .exitCode != 0) {
        return {};
    }
    const ChildProcess::Result text = run({"tesseract", large.string(), "stdout", "--psm", "6"});
    return text.exitCode == 0 ? text.output : std::string();
}

bool ScreenOperator::screenshot(const std::filesystem::path& file) const {
    return run({"import", "-window", "root", file.string()}).exitCode == 0;
}

std::string ScreenOperator::normalised(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)) == 0) {
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return out;
}

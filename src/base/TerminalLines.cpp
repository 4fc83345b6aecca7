#include "base/TerminalLines.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr auto kRedrawPeriod = std::chrono::milliseconds(40);

} // namespace

TerminalLines::TerminalLines(std::ostream& err, int terminalFd, bool wanted)
    : err_(err), fd_(terminalFd), enabled_(wanted && ::isatty(terminalFd) == 1) {}

TerminalLines::~TerminalLines() {
    clear();
}

void TerminalLines::show(const std::vector<std::string>& lines, const std::string& summary) {
    const auto now = std::chrono::steady_clock::now();
    if (!enabled_ || lines == last_ || (shown_ != 0 && now - drawn_ < kRedrawPeriod)) {
        return;
    }
    winsize size{};
    const bool known = ::ioctl(fd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 1;
    const std::size_t columns = known ? size.ws_col : 80;
    const std::size_t rows = known ? size.ws_row : 24;

    std::vector<std::string> drawn = lines;
    if (drawn.size() + 1 > rows) {
        // Cursor movements cannot reach lines that have scrolled away.
        drawn = {summary};
    }
    std::string text;
    if (shown_ != 0) {
        text += "\x1b[" + std::to_string(shown_) + "F";
    }
    for (const std::string& line : drawn) {
        // A line that wrapped would throw the count of lines to go back off.
        text += "\x1b[2K" + line.substr(0, columns - 1) + "\n";
    }
    err_ << text << std::flush;
    shown_ = drawn.size();
    last_ = lines;
    drawn_ = now;
}

void TerminalLines::clear() {
    if (!enabled_ || shown_ == 0) {
        return;
    }
    err_ << "\x1b[" << shown_ << "F\x1b[J" << std::flush;
    shown_ = 0;
    last_.clear();
}

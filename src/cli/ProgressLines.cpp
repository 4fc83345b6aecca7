#include "cli/ProgressLines.h"

#include "operations/ReaderSession.h"

#include <algorithm>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr auto kRedrawPeriod = std::chrono::milliseconds(40);

} // namespace

ProgressLines::ProgressLines(std::ostream& err, int terminalFd, bool wanted)
    : err_(err), fd_(terminalFd), enabled_(wanted && ::isatty(terminalFd) == 1) {}

ProgressLines::~ProgressLines() {
    clear();
}

void ProgressLines::show(const std::vector<std::string>& lines, std::size_t done) {
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
        drawn = {std::to_string(done) + " of " + std::to_string(lines.size()) + " readers done"};
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

void ProgressLines::showSessions(const std::vector<ReaderSession*>& sessions) {
    if (!enabled_) {
        return;
    }
    std::size_t width = 0;
    for (const ReaderSession* session : sessions) {
        width = std::max(width, session->label().size());
    }
    std::vector<std::string> lines;
    std::size_t done = 0;
    for (const ReaderSession* session : sessions) {
        const std::string& label = session->label();
        lines.push_back(label + std::string(width - label.size() + 2, ' ') + session->progress());
        done += session->running() ? 0U : 1U;
    }
    show(lines, done);
}

ReaderLoop::Ending ProgressLines::run(ReaderLoop& loop,
                                      const std::vector<ReaderSession*>& sessions) {
    loop.afterRound([this, &sessions] { showSessions(sessions); });
    const ReaderLoop::Ending ending = loop.run(sessions);
    loop.afterRound(nullptr);
    clear();
    return ending;
}

void ProgressLines::clear() {
    if (!enabled_ || shown_ == 0) {
        return;
    }
    err_ << "\x1b[" << shown_ << "F\x1b[J" << std::flush;
    shown_ = 0;
    last_.clear();
}

#include "link/TracePortIo.h"

#include "link/Clock.h"

#include <cinttypes>

void TracePortIo::FileCloser::operator()(std::FILE* file) const {
    std::fclose(file);
}

TracePortIo::TracePortIo(const std::string& path, const Clock& clock, std::int64_t startMs)
    // "e": close-on-exec, so no child process inherits the trace.
    : file_(std::fopen(path.c_str(), "ae")), clock_(clock), startMs_(startMs) {
    if (file_) {
        std::setvbuf(file_.get(), buffer_.data(), _IOFBF, buffer_.size());
    }
}

bool TracePortIo::initialize() {
    return isOpen();
}

void TracePortIo::shutdown() {}

bool TracePortIo::installDriver() {
    return true;
}

bool TracePortIo::removeDriver() {
    return true;
}

bool TracePortIo::writePort(std::uint16_t port, std::uint8_t value) {
    if (!file_) {
        return false;
    }
    const std::int64_t elapsed = clock_.nowMilliseconds() - startMs_;
    const int printed = std::fprintf(file_.get(), "%" PRId64 " 0x%x 0x%02x\n", elapsed,
                                     static_cast<unsigned>(port), static_cast<unsigned>(value));
    return std::fflush(file_.get()) == 0 && printed > 0;
}

// r550-sim: a simulated R550 reader on RS232, served on a pseudo-terminal.

#include "DeviceLink.h"
#include "PseudoTerminal.h"
#include "SimMemory.h"
#include "SimOptions.h"
#include "SimReader.h"
#include "SimSession.h"
#include "base/UniqueFd.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

std::optional<std::string> readWholeFile(const std::string& name) {
    UniqueFd file(::open(name.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

// SIGTERM, SIGINT and SIGHUP (stop) and SIGUSR1 (swipe) arrive on a descriptor that the
// serving loop polls, instead of through a handler and a global flag.
UniqueFd openSignals(std::string& error) {
    sigset_t stops;
    sigemptyset(&stops);
    for (const int number : {SIGTERM, SIGINT, SIGHUP, SIGUSR1}) {
        // A shell starts background jobs with SIGINT ignored, and an ignored signal is never
        // queued.
        std::signal(number, SIG_DFL);
        sigaddset(&stops, number);
    }
    if (::sigprocmask(SIG_BLOCK, &stops, nullptr) != 0) {
        error = std::string("sigprocmask: ") + std::strerror(errno);
        return UniqueFd();
    }
    UniqueFd fd(::signalfd(-1, &stops, SFD_CLOEXEC));
    if (!fd.valid()) {
        error = std::string("signalfd: ") + std::strerror(errno);
    }
    return fd;
}

std::optional<SimMemory> startingMemory(const SimOptions& options) {
    if (options.preset.empty()) {
        return SimMemory::factory();
    }
    const std::optional<std::string> text = readWholeFile(options.preset);
    if (!text) {
        complain("cannot read the preset " + options.preset);
        return std::nullopt;
    }
    std::optional<SimMemory> preset = SimMemory::fromText(*text);
    if (!preset) {
        complain(options.preset +
                 " is not a memory file (a C0 line of 20 bytes and a C1 line of 64 bytes in hex)");
    }
    return preset;
}

} // namespace

int main(int argc, char** argv) {
    SimOptions options;
    std::string error;
    if (!options.parse(argc, argv, error)) {
        complain(error);
        std::fputs(SimOptions::usage(), stderr);
        return 2;
    }
    if (options.help) {
        std::fputs(SimOptions::usage(), stdout);
        return 0;
    }

    const std::optional<SimMemory> memory = startingMemory(options);
    if (!memory) {
        return 1;
    }
    SimReader reader(*memory, options.version, options.faults);

    const UniqueFd signals = openSignals(error);
    if (!signals.valid()) {
        complain(error);
        return 1;
    }
    UniqueFd log;
    if (!options.log.empty()) {
        log.reset(::open(options.log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
        if (!log.valid()) {
            complain("cannot open the log " + options.log + ": " + std::strerror(errno));
            return 1;
        }
    }
    PseudoTerminal terminal;
    if (!terminal.open(error)) {
        complain(error);
        return 1;
    }
    if (options.stopReading && !terminal.stopLine()) {
        complain(std::string("cannot stop the line: ") + std::strerror(errno));
        return 1;
    }
    SimSession session(options, reader, terminal.master(), log.get(), signals.get());
    if (!session.saveMemory()) {
        complain("cannot write the memory file " + options.memory);
        return 1;
    }
    DeviceLink link;
    if (!link.create(options.link, terminal.slaveName(), error)) {
        complain(error);
        return 1;
    }

    std::printf("r550-sim: COM link %s -> %s\n", options.link.c_str(),
                terminal.slaveName().c_str());
    std::fflush(stdout);

    return session.serve() ? 0 : 1;
}

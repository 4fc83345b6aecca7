#include "ChildProcess.h"

#include "base/SpawnRecords.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using SteadyTime = std::chrono::steady_clock;

// The test's environment with `changes` applied, as "NAME=value" texts.
std::vector<std::string> environmentWith(const ChildProcess::Environment& changes) {
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        const std::size_t equals = text.find('=');
        if (equals != std::string::npos) {
            variables[text.substr(0, equals)] = text.substr(equals + 1);
        }
    }
    for (const auto& [name, value] : changes) {
        if (value.empty()) {
            variables.erase(name);
        } else {
            variables[name] = value;
        }
    }
    std::vector<std::string> result;
    for (const auto& [name, value] : variables) {
        result.push_back(name + "=" + value);
    }
    return result;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

int millisecondsLeft(SteadyTime::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyTime::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

// A group of its own, so that stop() reaches whatever the program starts; default signal
// handling and no blocked signal.
void ownGroupAndDefaultSignals(posix_spawnattr_t& attributes) {
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int number : {SIGTERM, SIGINT, SIGHUP, SIGUSR1, SIGPIPE, SIGCHLD}) {
        sigaddset(&defaults, number);
    }
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                              POSIX_SPAWN_SETSIGDEF);
}

bool reapWithin(pid_t pid, std::chrono::milliseconds limit, int& status) {
    const auto deadline = SteadyTime::now() + limit;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno == ECHILD)) {
            return done == pid;
        }
        if (SteadyTime::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& arguments,
                           const Environment& environment) {
    std::string error;
    if (!spawnWithPipes({arguments, environment, {}, {}, true}, error)) {
        errors_ = error;
    }
}

ChildProcess::~ChildProcess() {
    stop();
    closePipes();
}

bool ChildProcess::start(const Options& options, std::string& error) {
    stop();
    closePipes();
    output_.clear();
    errors_.clear();
    if (options.pipes) {
        return spawnWithPipes(options, error);
    }
    if (options.outputFile.empty()) {
        return spawn(options, -1, -1, error);
    }
    const int fd =
        ::open(options.outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot open " + options.outputFile.string() + ": " + std::strerror(errno);
        return false;
    }
    const bool started = spawn(options, fd, fd, error);
    ::close(fd);
    return started;
}

bool ChildProcess::spawnWithPipes(const Options& options, std::string& error) {
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        for (const int fd : {out[0], out[1]}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
        return false;
    }
    const bool started = spawn(options, out[1], err[1], error);
    ::close(out[1]);
    ::close(err[1]);
    stdout_ = out[0];
    stderr_ = err[0];
    return started;
}

bool ChildProcess::spawn(const Options& options, int outputFd, int errorFd, std::string& error) {
    if (options.arguments.empty()) {
        error = "no program to start";
        return false;
    }
    SpawnRecords records;
    posix_spawn_file_actions_addopen(&records.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (outputFd >= 0) {
        posix_spawn_file_actions_adddup2(&records.actions, outputFd, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&records.actions, errorFd, STDERR_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&records.actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&records.actions, STDOUT_FILENO, STDERR_FILENO);
    }
    if (!options.workingFolder.empty()) {
        posix_spawn_file_actions_addchdir_np(&records.actions, options.workingFolder.c_str());
    }
    ownGroupAndDefaultSignals(records.attributes);

    std::vector<std::string> arguments = options.arguments;
    std::vector<std::string> environment = environmentWith(options.environment);
    std::vector<char*> argv = pointersTo(arguments);
    std::vector<char*> envp = pointersTo(environment);
    pid_t pid = -1;
    const int failed = ::posix_spawnp(&pid, argv[0], &records.actions, &records.attributes,
                                      argv.data(), envp.data());
    if (failed != 0) {
        error = "cannot start " + options.arguments[0] + ": " + std::strerror(failed);
        return false;
    }
    pid_ = pid;
    return true;
}

void ChildProcess::ended() {
    ::kill(-pid_, SIGKILL);
    pid_ = -1;
}

void ChildProcess::closePipes() {
    for (int* fd : {&stdout_, &stderr_}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

bool ChildProcess::running() {
    if (pid_ <= 0) {
        return false;
    }
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_ || (done < 0 && errno == ECHILD)) {
        ended();
        return false;
    }
    return true;
}

void ChildProcess::signal(int number) const {
    if (pid_ > 0) {
        ::kill(pid_, number);
    }
}

void ChildProcess::stop(std::chrono::milliseconds grace) {
    if (pid_ <= 0) {
        return;
    }
    ::kill(-pid_, SIGTERM);
    int status = 0;
    if (!reapWithin(pid_, grace, status)) {
        ::kill(-pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
    }
    ended();
}

void ChildProcess::pump(int waitMs) {
    std::array<pollfd, 2> fds{{{stdout_, POLLIN, 0}, {stderr_, POLLIN, 0}}};
    if (::poll(fds.data(), fds.size(), waitMs) <= 0) {
        return;
    }
    const std::array<std::string*, 2> into{&output_, &errors_};
    const std::array<int*, 2> owners{&stdout_, &stderr_};
    for (std::size_t i = 0; i < fds.size(); ++i) {
        if (fds[i].revents == 0) {
            continue;
        }
        std::array<char, 4096> buffer{};
        const ssize_t n = ::read(fds[i].fd, buffer.data(), buffer.size());
        if (n > 0) {
            into[i]->append(buffer.data(), static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            // The program closed its side: stop polling it (poll skips negative descriptors).
            ::close(*owners[i]);
            *owners[i] = -1;
        }
    }
}

bool ChildProcess::waitFor(const std::string& text, const std::string& stream,
                           std::chrono::milliseconds patience) {
    const auto deadline = SteadyTime::now() + patience;
    while (stream.find(text) == std::string::npos) {
        if (SteadyTime::now() >= deadline || (stdout_ < 0 && stderr_ < 0)) {
            return false;
        }
        pump(millisecondsLeft(deadline));
    }
    return true;
}

bool ChildProcess::waitForOutput(const std::string& text, std::chrono::milliseconds patience) {
    return waitFor(text, output_, patience);
}

bool ChildProcess::waitForErrors(const std::string& text, std::chrono::milliseconds patience) {
    return waitFor(text, errors_, patience);
}

int ChildProcess::waitForExit(std::chrono::milliseconds patience) {
    const auto deadline = SteadyTime::now() + patience;
    while ((stdout_ >= 0 || stderr_ >= 0) && SteadyTime::now() < deadline) {
        pump(millisecondsLeft(deadline));
    }
    if (pid_ <= 0) {
        return -1;
    }
    int status = 0;
    if (!reapWithin(pid_, std::chrono::milliseconds(millisecondsLeft(deadline)), status)) {
        return -1;
    }
    ended();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ChildProcess::Result ChildProcess::run(const std::vector<std::string>& arguments,
                                       const Environment& environment,
                                       std::chrono::milliseconds patience) {
    ChildProcess program(arguments, environment);
    Result result;
    result.exitCode = program.waitForExit(patience);
    if (program.started()) {
        program.stop(std::chrono::milliseconds(200));
    }
    result.output = std::move(program.output_);
    result.errors = std::move(program.errors_);
    return result;
}

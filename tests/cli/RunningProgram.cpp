#include "RunningProgram.h"

#include <array>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> environmentWith(const RunningProgram::Environment& changes) {
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        const std::size_t equals = text.find('=');
        if (equals != std::string::npos) {
            variables[text.substr(0, equals)] = text.substr(equals + 1);
        }
    }
    for (const auto& [name, value] : changes) {
        variables[name] = value;
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

int millisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

} // namespace

RunningProgram::RunningProgram(const std::vector<std::string>& arguments,
                               const Environment& environment) {
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGPIPE, SIGCHLD}) {
        sigaddset(&defaults, number);
    }
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> argumentTexts = arguments;
    std::vector<std::string> environmentTexts = environmentWith(environment);
    std::vector<char*> argv = pointersTo(argumentTexts);
    std::vector<char*> envp = pointersTo(environmentTexts);
    if (::posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0) {
        pid_ = -1;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    stdout_ = out[0];
    stderr_ = err[0];
}

RunningProgram::~RunningProgram() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    for (const int fd : {stdout_, stderr_}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void RunningProgram::signal(int number) const {
    if (pid_ > 0) {
        ::kill(pid_, number);
    }
}

void RunningProgram::pump(int waitMs) {
    std::array<pollfd, 2> fds{{{stdout_, POLLIN, 0}, {stderr_, POLLIN, 0}}};
    if (::poll(fds.data(), fds.size(), waitMs) <= 0) {
        return;
    }
    std::array<std::string*, 2> into{&output_, &errors_};
    std::array<int*, 2> owners{&stdout_, &stderr_};
    for (std::size_t i = 0; i < fds.size(); ++i) {
        if (fds[i].revents == 0) {
            continue;
        }
        std::array<char, 4096> buffer{};
        const ssize_t n = ::read(fds[i].fd, buffer.data(), buffer.size());
        if (n > 0) {
            into[i]->append(buffer.data(), static_cast<std::size_t>(n));
        } else {
            // The program closed its side: stop polling it (poll skips negative descriptors).
            ::close(*owners[i]);
            *owners[i] = -1;
        }
    }
}

bool RunningProgram::waitFor(const std::string& text, const std::string& stream,
                             std::chrono::milliseconds patience) {
    const auto deadline = Clock::now() + patience;
    while (stream.find(text) == std::string::npos) {
        if (Clock::now() >= deadline || (stdout_ < 0 && stderr_ < 0)) {
            return false;
        }
        pump(millisecondsLeft(deadline));
    }
    return true;
}

bool RunningProgram::waitForOutput(const std::string& text, std::chrono::milliseconds patience) {
    return waitFor(text, output_, patience);
}

bool RunningProgram::waitForErrors(const std::string& text, std::chrono::milliseconds patience) {
    return waitFor(text, errors_, patience);
}

int RunningProgram::waitForExit(std::chrono::milliseconds patience) {
    const auto deadline = Clock::now() + patience;
    while ((stdout_ >= 0 || stderr_ >= 0) && Clock::now() < deadline) {
        pump(millisecondsLeft(deadline));
    }
    if (pid_ <= 0) {
        return -1;
    }
    int status = 0;
    pid_t done = 0;
    while ((done = ::waitpid(pid_, &status, WNOHANG)) == 0 && Clock::now() < deadline) {
        ::poll(nullptr, 0, 10);
    }
    if (done != pid_) {
        return -1; // the destructor kills it
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

RunningProgram::Result RunningProgram::run(const std::vector<std::string>& arguments,
                                           const Environment& environment,
                                           std::chrono::milliseconds patience) {
    RunningProgram program(arguments, environment);
    Result result;
    result.exitCode = program.waitForExit(patience);
    result.output = program.output_;
    result.errors = program.errors_;
    return result;
}

#include "ChildProcess.h"

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

using Clock = std::chrono::steady_clock;

// The test's environment with the options' changes applied, as "NAME=value" texts.
std::vector<std::string>
environmentFor(const std::vector<std::pair<std::string, std::string>>& changes) {
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

// Frees the spawn records on every path out of spawn().
struct SpawnRecords {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    SpawnRecords() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    SpawnRecords(const SpawnRecords&) = delete;
    SpawnRecords& operator=(const SpawnRecords&) = delete;
    ~SpawnRecords() {
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
};

bool reapWithin(pid_t pid, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno == ECHILD)) {
            return true;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        stop();
        pid_ = std::exchange(other.pid_, -1);
    }
    return *this;
}

bool ChildProcess::start(const Options& options, std::string& error) {
    stop();
    int outputFd = -1;
    if (!options.outputFile.empty()) {
        outputFd =
            ::open(options.outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (outputFd < 0) {
            error = "cannot open " + options.outputFile.string() + ": " + std::strerror(errno);
            return false;
        }
    }
    const bool started = spawn(options, outputFd, error);
    if (outputFd >= 0) {
        ::close(outputFd);
    }
    return started;
}

bool ChildProcess::spawn(const Options& options, int outputFd, std::string& error) {
    if (options.arguments.empty()) {
        error = "no program to start";
        return false;
    }
    SpawnRecords records;
    posix_spawn_file_actions_addopen(&records.actions, 0, "/dev/null", O_RDONLY, 0);
    if (outputFd >= 0) {
        posix_spawn_file_actions_adddup2(&records.actions, outputFd, 1);
        posix_spawn_file_actions_adddup2(&records.actions, outputFd, 2);
    } else {
        posix_spawn_file_actions_addopen(&records.actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&records.actions, 1, 2);
    }
    if (!options.workingFolder.empty()) {
        posix_spawn_file_actions_addchdir_np(&records.actions, options.workingFolder.c_str());
    }
    // A group of its own, so that stop() reaches whatever the program starts; default signal
    // handling, whatever the test runner set up for itself.
    sigset_t none;
    sigemptyset(&none);
    sigset_t stops;
    sigemptyset(&stops);
    for (const int number : {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGCHLD}) {
        sigaddset(&stops, number);
    }
    posix_spawnattr_setpgroup(&records.attributes, 0);
    posix_spawnattr_setsigmask(&records.attributes, &none);
    posix_spawnattr_setsigdefault(&records.attributes, &stops);
    posix_spawnattr_setflags(&records.attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                                      POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> arguments = options.arguments;
    std::vector<std::string> environment = environmentFor(options.environment);
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

bool ChildProcess::running() {
    if (pid_ < 0) {
        return false;
    }
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_ || (done < 0 && errno == ECHILD)) {
        // Whatever else is left in its group goes with it.
        ::kill(-pid_, SIGKILL);
        pid_ = -1;
        return false;
    }
    return true;
}

void ChildProcess::stop(std::chrono::milliseconds grace) {
    if (pid_ < 0) {
        return;
    }
    ::kill(-pid_, SIGTERM);
    if (!reapWithin(pid_, grace)) {
        ::kill(-pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    ::kill(-pid_, SIGKILL);
    pid_ = -1;
}

ChildProcess::Capture
ChildProcess::run(const std::vector<std::string>& arguments,
                  const std::vector<std::pair<std::string, std::string>>& environment,
                  std::chrono::milliseconds limit) {
    Capture capture;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        capture.output = std::string("pipe: ") + std::strerror(errno);
        return capture;
    }
    ChildProcess child;
    std::string error;
    Options options;
    options.arguments = arguments;
    options.environment = environment;
    const bool started = child.spawn(options, pipeFds[1], error);
    ::close(pipeFds[1]);
    if (!started) {
        ::close(pipeFds[0]);
        capture.output = error;
        return capture;
    }
    const auto deadline = Clock::now() + limit;
    bool overTime = false;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            overTime = true;
            break;
        }
        pollfd readable{pipeFds[0], POLLIN, 0};
        const int ready = ::poll(&readable, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break; // end of output: the command has closed its side
        }
        capture.output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    if (overTime) {
        child.stop(std::chrono::milliseconds(200));
        return capture;
    }
    int status = 0;
    if (::waitpid(child.pid_, &status, 0) == child.pid_ && WIFEXITED(status)) {
        capture.exitCode = WEXITSTATUS(status);
    }
    child.pid_ = -1;
    return capture;
}

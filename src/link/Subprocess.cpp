#include "link/Subprocess.h"

#include "base/SpawnRecords.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

int codeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

Subprocess::~Subprocess() {
    stop(500);
}

bool Subprocess::start(const std::vector<std::string>& argv, int stdio, bool quiet) {
    if (started() || argv.empty()) {
        errno = EINVAL;
        return false;
    }
    SpawnRecords records;
    if (stdio >= 0) {
        posix_spawn_file_actions_adddup2(&records.actions, stdio, STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&records.actions, stdio, STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&records.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&records.actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    if (quiet) {
        posix_spawn_file_actions_addopen(&records.actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    // The child starts with no blocked signals and SIGPIPE at its default, whatever this
    // process changed for itself.
    sigset_t none;
    sigemptyset(&none);
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    posix_spawnattr_setsigmask(&records.attributes, &none);
    posix_spawnattr_setsigdefault(&records.attributes, &pipe);
    posix_spawnattr_setflags(&records.attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> texts = argv;
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    pid_t pid = -1;
    const int error = ::posix_spawnp(&pid, pointers[0], &records.actions, &records.attributes,
                                     pointers.data(), environ);
    if (error != 0) {
        errno = error;
        return false;
    }
    pid_ = pid;
    exitCode_.reset();
    return true;
}

std::optional<int> Subprocess::exitCode() {
    if (!exitCode_ && started()) {
        int status = 0;
        pid_t done = 0;
        do {
            done = ::waitpid(pid_, &status, WNOHANG);
        } while (done < 0 && errno == EINTR);
        if (done == pid_) {
            exitCode_ = codeOf(status);
        } else if (done < 0) {
            exitCode_ = 128; // not ours to wait for any more: count it as gone
        }
    }
    return exitCode_;
}

std::optional<int> Subprocess::waitFor(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!exitCode() && started() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return exitCode_;
}

void Subprocess::stop(int graceMs) {
    if (!started() || waitFor(graceMs)) {
        return;
    }
    if (::kill(pid_, SIGTERM) == 0 && waitFor(graceMs)) {
        return;
    }
    if (::kill(pid_, SIGKILL) == 0) {
        waitFor(5000);
    }
}

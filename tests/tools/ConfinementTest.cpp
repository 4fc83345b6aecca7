// The helper's confinement, tried in forked children that confine themselves and make one call.
// The list below is the reviewed one: every call outside it must end the child with SIGSYS, so a
// call added to the helper's filter fails this test until it is reviewed and added here too.
#include "Confinement.h"

#include <array>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <seccomp.h>
#include <set>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

// A sanitizer build lets the helper check memory through a pipe, give memory back and take down
// its signal stack at exit.
#if defined(__SANITIZE_ADDRESS__)
#define R550_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define R550_SANITIZED 1
#endif
#endif

namespace {

#ifdef R550_SANITIZED
constexpr int kElsewhere = 0; // the sanitizer's own pipe needs read and write on any descriptor
#else
constexpr int kElsewhere = SIGSYS;
#endif
constexpr int kTrace = 5; // the descriptor the test build's trace would have
constexpr long kHighestCall = 512;

// Allowed with any arguments, or (read, write, sendto, ioperm, mmap) with some; the latter are
// tried with the arguments they are refused below.
const char* const kReviewed[] = {
    "poll",      "ppoll",        "clock_gettime",   "gettimeofday", "clock_nanosleep",
    "nanosleep", "fstat",        "lseek",           "brk",          "munmap",
    "close",     "rt_sigreturn", "restart_syscall", "exit",         "exit_group",
    "read",      "write",        "sendto",          "ioperm",       "mmap",
#ifdef R550_SANITIZED
    "pipe2",     "madvise",      "sched_yield",     "sigaltstack",
#endif
};

// The signal that ended a confined child after `call`, 0 when it ended normally, -1 when it
// could not confine itself.
int signalAfter(const std::function<void()>& call) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (!Confinement::enter(kTrace)) {
            ::_exit(99);
        }
        call();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) {
        return WTERMSIG(status);
    }
    return WEXITSTATUS(status) == 99 ? -1 : 0;
}

TEST(Confinement, EveryCallOutsideTheReviewedListEndsInSigsys) {
    std::set<long> reviewed;
    for (const char* name : kReviewed) {
        reviewed.insert(::seccomp_syscall_resolve_name(name));
    }
    std::string allowed;
    for (long call = 0; call <= kHighestCall; ++call) {
        // Numbers that name no system call end in ENOSYS whatever the filter says.
        char* name = ::seccomp_syscall_resolve_num_arch(SCMP_ARCH_NATIVE, static_cast<int>(call));
        if (name != nullptr && reviewed.count(call) == 0 &&
            signalAfter([call] { ::syscall(call, 0, 0, 0, 0, 0, 0); }) != SIGSYS) {
            allowed += " " + std::string(name);
        }
        std::free(name);
    }
    EXPECT_EQ(allowed, "") << "allowed without review";
}

TEST(Confinement, CallsOfTheListWithArgumentsTheHelperNeverUses) {
    static std::array<char, 256> buffer{};
    const long exec = PROT_READ | PROT_EXEC;
    const long anonymous = MAP_PRIVATE | MAP_ANONYMOUS;
    const struct {
        const char* what;
        std::function<void()> call;
        int signal;
    } cases[] = {
        {"read its input", [] { ::syscall(SYS_read, STDIN_FILENO, buffer.data(), 0); }, 0},
        {"read elsewhere", [] { ::syscall(SYS_read, 7, buffer.data(), 1); }, kElsewhere},
        {"write its messages", [] { ::syscall(SYS_write, STDERR_FILENO, "", 0); }, 0},
        {"write the trace", [] { ::syscall(SYS_write, kTrace, "", 0); }, 0},
        {"write elsewhere", [] { ::syscall(SYS_write, 7, "", 0); }, kElsewhere},
        {"sendto elsewhere", [] { ::syscall(SYS_sendto, 7, "", 0, 0, nullptr, 0); }, SIGSYS},
        {"mmap", [=] { ::syscall(SYS_mmap, 0, 4096, PROT_READ, anonymous, -1, 0); }, 0},
        {"mmap executable", [=] { ::syscall(SYS_mmap, 0, 4096, exec, anonymous, -1, 0); }, SIGSYS},
        {"mprotect", [] { ::syscall(SYS_mprotect, buffer.data(), 1, PROT_READ); }, SIGSYS},
        {"newfstatat", [] { ::syscall(SYS_newfstatat, AT_FDCWD, "/", buffer.data(), 0); }, SIGSYS},
#if defined(SYS_ioperm)
        {"ioperm off", [] { ::syscall(SYS_ioperm, 0x60, 1, 0); }, 0},
        {"ioperm on", [] { ::syscall(SYS_ioperm, 0x60, 1, 1); }, SIGSYS},
#endif
    };
    for (const auto& c : cases) {
        EXPECT_EQ(signalAfter(c.call), c.signal) << c.what;
    }
}

} // namespace

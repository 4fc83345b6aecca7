#include "Confinement.h"

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <initializer_list>
#include <linux/capability.h>
#include <pwd.h>
#include <seccomp.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Everything the helper does once it is confined, with any argument. The calls that could do
// more than the helper needs are allowed below with their arguments pinned down: read only its
// input, write and sendto only its answers, its messages and the test build's trace, ioperm only
// to give the port back (taking one needs the capability that is gone by then anyway), mmap
// never executable memory (and mprotect not at all). No call that takes a path is left: stdio
// asks the system about a file (fstat) only when it makes a buffer, and the standard error and
// the trace have theirs before this.
// clang-format off
constexpr int kAllowed[] = {
    SCMP_SYS(poll), SCMP_SYS(ppoll),                          // the caller's bytes
    SCMP_SYS(clock_gettime), SCMP_SYS(gettimeofday),          // the pace
    SCMP_SYS(clock_nanosleep), SCMP_SYS(nanosleep),
    SCMP_SYS(fstat), SCMP_SYS(lseek),                         // the C library's buffers
    SCMP_SYS(brk), SCMP_SYS(munmap),
    SCMP_SYS(close), SCMP_SYS(rt_sigreturn), SCMP_SYS(restart_syscall),
    SCMP_SYS(exit), SCMP_SYS(exit_group),
};
// clang-format on

// A sanitizer build also checks memory through a pipe, returns memory to the system and takes
// down its signal stack at exit.
#if defined(__SANITIZE_ADDRESS__)
#define R550_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define R550_SANITIZED 1
#endif
#endif

// Allows `call` when its argument number `arg` compares as `op` with `a` (and `b`, the value
// under a mask). Built field by field: libseccomp's SCMP_A0.. macros are C compound literals.
bool allowWith(scmp_filter_ctx filter, int call, unsigned arg, scmp_compare op, scmp_datum_t a,
               scmp_datum_t b = 0) {
    scmp_arg_cmp condition{};
    condition.arg = arg;
    condition.op = op;
    condition.datum_a = a;
    condition.datum_b = b;
    return ::seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 1, condition) == 0;
}

bool allowArgumentsThatServe(scmp_filter_ctx filter, std::initializer_list<int> writeDescriptors) {
    bool built = allowWith(filter, SCMP_SYS(read), 0, SCMP_CMP_EQ, STDIN_FILENO) &&
                 allowWith(filter, SCMP_SYS(ioperm), 2, SCMP_CMP_EQ, 0) &&
                 allowWith(filter, SCMP_SYS(mmap), 2, SCMP_CMP_MASKED_EQ, PROT_EXEC, 0);
#ifdef R550_SANITIZED
    // The sanitizer's memory check writes and reads a pipe of its own, on whatever descriptor it
    // got.
    built = built && allowWith(filter, SCMP_SYS(read), 0, SCMP_CMP_GE, 0) &&
            allowWith(filter, SCMP_SYS(write), 0, SCMP_CMP_GE, 0);
#endif
    for (const int fd : writeDescriptors) {
        if (fd >= 0) {
            const auto descriptor = static_cast<scmp_datum_t>(fd);
            built = built && allowWith(filter, SCMP_SYS(write), 0, SCMP_CMP_EQ, descriptor) &&
                    allowWith(filter, SCMP_SYS(sendto), 0, SCMP_CMP_EQ, descriptor);
        }
    }
    return built;
}

bool dropIdentity() {
    if (::geteuid() != 0) {
        return true; // started without root: there is no identity to give up
    }
    const passwd* nobody = ::getpwnam("nobody");
    const uid_t uid = nobody ? nobody->pw_uid : 65534;
    const gid_t gid = nobody ? nobody->pw_gid : 65534;
    // The bounding set first, while the capability to change it is still there.
    for (int cap = 0; ::prctl(PR_CAPBSET_READ, cap, 0, 0, 0) >= 0; ++cap) {
        if (::prctl(PR_CAPBSET_DROP, cap, 0, 0, 0) != 0) {
            return false;
        }
    }
    return ::setgroups(0, nullptr) == 0 && ::setresgid(gid, gid, gid) == 0 &&
           ::setresuid(uid, uid, uid) == 0;
}

bool dropCapabilities() {
    // Becoming nobody cleared the permitted and effective sets; this clears the inheritable one
    // too, and those of a helper that was never root.
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    return ::syscall(SYS_capset, &header, data) == 0 &&
           ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) == 0;
}

bool allowOnlyWhatIsLeft(std::initializer_list<int> writeDescriptors) {
    scmp_filter_ctx filter = ::seccomp_init(SCMP_ACT_KILL_PROCESS);
    bool built = filter != nullptr && allowArgumentsThatServe(filter, writeDescriptors);
    for (const int call : kAllowed) {
        built = built && ::seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0) == 0;
    }
#ifdef R550_SANITIZED
    for (const int call :
         {SCMP_SYS(pipe2), SCMP_SYS(madvise), SCMP_SYS(sched_yield), SCMP_SYS(sigaltstack)}) {
        built = built && ::seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0) == 0;
    }
#endif
    // Loading sets no_new_privs itself where it is not set yet; it is set before, on purpose.
    built = built && ::seccomp_load(filter) == 0;
    ::seccomp_release(filter);
    return built;
}

} // namespace

UniqueFd Confinement::takeLock(const char* path, bool& busy) {
    busy = false;
    UniqueFd lock(::open(path, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (lock.valid() && ::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
        busy = errno == EWOULDBLOCK;
        lock.reset();
    }
    return lock;
}

bool Confinement::enter(int traceDescriptor) {
    return dropIdentity() && dropCapabilities() && ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           allowOnlyWhatIsLeft({STDOUT_FILENO, STDERR_FILENO, traceDescriptor});
}

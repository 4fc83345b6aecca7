#include "Confinement.h"

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <linux/capability.h>
#include <pwd.h>
#include <seccomp.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Everything the helper does after it is confined: wait for and read the caller's bytes, answer,
// pace its writes, write the trace of the recording build, give the port back and end. Memory
// calls serve the C library's buffers. ioperm only ever gives the port back: taking a port needs
// the capability that is gone by then.
constexpr int kAllowed[] = {
    SCMP_SYS(read),
    SCMP_SYS(write),
    SCMP_SYS(sendto),
    SCMP_SYS(poll),
    SCMP_SYS(ppoll),
    SCMP_SYS(clock_nanosleep),
    SCMP_SYS(nanosleep),
    SCMP_SYS(clock_gettime),
    SCMP_SYS(gettimeofday),
    SCMP_SYS(ioperm),
    SCMP_SYS(newfstatat),
    SCMP_SYS(fstat),
    SCMP_SYS(lseek),
    SCMP_SYS(close),
    SCMP_SYS(brk),
    SCMP_SYS(mmap),
    SCMP_SYS(munmap),
    SCMP_SYS(rt_sigreturn),
    SCMP_SYS(restart_syscall),
    SCMP_SYS(exit),
    SCMP_SYS(exit_group),
};

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

bool allowOnlyWhatIsLeft() {
    scmp_filter_ctx filter = ::seccomp_init(SCMP_ACT_KILL_PROCESS);
    bool built = filter != nullptr;
    for (const int call : kAllowed) {
        built = built && ::seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0) == 0;
    }
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

bool Confinement::enter() {
    return dropIdentity() && dropCapabilities() && ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           allowOnlyWhatIsLeft();
}

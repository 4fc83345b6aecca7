#pragma once

#include "link/PortIo.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>

class Clock;

// What the choice of a port-I/O backend needs to know about this machine. Tests replace each
// part, so that the choice is tested without port access, an installed helper or polkit.
struct PortIoPlatform {
    // This process may take the port itself (root, or CAP_SYS_RAWIO).
    std::function<bool()> ownAccess;
    // The installed helper, empty when there is none.
    std::string helperPath;
    // The program that runs the helper as root, by absolute path.
    std::string pkexec;
    // polkit lets this process run the helper without asking for a password.
    std::function<bool()> helperAllowedWithoutAsking;
};

// This machine: the kernel's answer for port 0x60, the helper where the build installs it (when
// it is there), and pkcheck for the helper's polkit action; pkexec and pkcheck by the absolute
// paths the build found.
PortIoPlatform systemPortIoPlatform();

// A process as pkcheck's --process names it: "pid,start-time,uid", the form that cannot be
// confused with a later process of the same number (bare "pid" when /proc cannot tell).
std::string polkitSubject(pid_t pid);

// Whether polkit (asked through the pkcheck program) grants action to the subject without
// asking anyone: pkcheck ends with 0 within timeoutMs. No answer, or no pkcheck, is a no.
bool polkitAllowsWithoutAsking(const std::string& pkcheck, const std::string& action,
                               const std::string& subject, int timeoutMs = 3000);

// The port-I/O backend for a setting of R550_PORT_IO (the caller passes getenv's answer):
//   unset (nullptr)  the process's own access when it has it (HardwarePortIo), otherwise the
//                    helper where it is installed (HelperPortIo), otherwise HardwarePortIo,
//                    which then reports Denied;
//   "helper"         the helper (HelperPortIo); where it is not installed, "no access";
//   "none"           writes have no effect (NullPortIo);
//   "trace:FILE"     writes are appended to FILE and reach no hardware (TracePortIo), with
//                    times counted from startMs on clock.
// Any other value, "trace:" without a file and the empty value among them, is refused: the
// backend then answers every request for access with Misconfigured, so that a keyboard command
// fails with that reason instead of passing for done (portIoSettingProblem words it).
// mayAsk is false where no password may be asked (the start-up search): the helper is then used
// only when polkit allows it without asking; otherwise the writes have no effect ("helper"
// reports Denied).
// The trace backend keeps a reference to clock, which must outlive it. Never null.
std::unique_ptr<PortIo> makePortIo(const char* setting, bool mayAsk, const Clock& clock,
                                   std::int64_t startMs,
                                   const PortIoPlatform& platform = systemPortIoPlatform());

// The values R550_PORT_IO takes, for messages.
inline constexpr const char* kPortIoSettings = "none, trace:FILE or helper";
// Empty when the setting (getenv's answer) names a backend or is unset; otherwise why it is
// refused, naming the accepted values.
std::string portIoSettingProblem(const char* setting);

#include "base/ProgramPaths.h"

// Set by the build: the helper where it installs it (the polkit policy names the same), the
// absolute paths of pkexec and pkcheck found when it was configured, and the system's log socket;
// or, for the programs the tests run, the stand-ins in the test build's folder.
#ifndef R550_PORTIO_HELPER
#define R550_PORTIO_HELPER "/usr/libexec/r550tool/r550-portio"
#endif
#ifndef R550_PORTIO_ACTION
#define R550_PORTIO_ACTION "org.r550tool.portio"
#endif
#ifndef R550_PKEXEC
#define R550_PKEXEC "/usr/bin/pkexec"
#endif
#ifndef R550_PKCHECK
#define R550_PKCHECK "/usr/bin/pkcheck"
#endif
#ifndef R550_SYSLOG_SOCKET
#define R550_SYSLOG_SOCKET "/dev/log"
#endif

const ProgramPaths& programPaths() {
    static constexpr ProgramPaths kPaths{R550_PORTIO_HELPER, R550_PORTIO_ACTION, R550_PKEXEC,
                                         R550_PKCHECK, R550_SYSLOG_SOCKET};
    return kPaths;
}

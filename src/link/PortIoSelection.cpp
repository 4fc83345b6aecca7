#include "link/PortIoSelection.h"

#include "base/ProgramPaths.h"
#include "link/HardwarePortIo.h"
#include "link/HelperPortIo.h"
#include "link/NullPortIo.h"
#include "link/Subprocess.h"
#include "link/TracePortIo.h"

#include <fstream>
#include <sstream>
#include <string_view>
#include <unistd.h>

namespace {

constexpr std::string_view kTracePrefix = "trace:";

bool known(std::string_view value) {
    return value == "none" || value == "helper" ||
           (value.starts_with(kTracePrefix) && value.size() > kTracePrefix.size());
}

} // namespace

PortIoPlatform systemPortIoPlatform() {
    PortIoPlatform platform;
    platform.ownAccess = [] { return HardwarePortIo().requestAccess() == PortAccess::Granted; };
    const ProgramPaths& paths = programPaths();
    if (::access(paths.portioHelper, X_OK) == 0) {
        platform.helperPath = paths.portioHelper;
    }
    platform.pkexec = paths.pkexec;
    platform.helperAllowedWithoutAsking = [] {
        return polkitAllowsWithoutAsking(programPaths().pkcheck, programPaths().portioAction,
                                         polkitSubject(::getpid()));
    };
    return platform;
}

std::string polkitSubject(pid_t pid) {
    // Field 22 of /proc/PID/stat is the start time; the fields are counted after the command
    // name, which ends with the line's last ')' and may hold spaces itself.
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    const std::size_t nameEnd = line.rfind(')');
    std::istringstream fields(nameEnd == std::string::npos ? std::string()
                                                           : line.substr(nameEnd + 1));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
    }
    if (!fields || field.find_first_not_of("0123456789") != std::string::npos) {
        return std::to_string(pid);
    }
    return std::to_string(pid) + "," + field + "," + std::to_string(::getuid());
}

bool polkitAllowsWithoutAsking(const std::string& pkcheck, const std::string& action,
                               const std::string& subject, int timeoutMs) {
    // Without --allow-user-interaction pkcheck never starts an authentication; it ends with 0
    // only when the action is allowed as it stands.
    Subprocess check;
    if (!check.start({pkcheck, "--action-id", action, "--process", subject}, -1, true)) {
        return false;
    }
    const auto code = check.waitFor(timeoutMs);
    return code && *code == 0;
}

std::unique_ptr<PortIo> makePortIo(const char* setting, bool mayAsk, const Clock& clock,
                                   std::int64_t startMs, const PortIoPlatform& platform) {
    // The helper, when it is installed and may be used here.
    const auto helper = [&]() -> std::unique_ptr<PortIo> {
        if (!platform.helperPath.empty() && (mayAsk || (platform.helperAllowedWithoutAsking &&
                                                        platform.helperAllowedWithoutAsking()))) {
            return std::make_unique<HelperPortIo>(platform.helperPath, platform.pkexec);
        }
        return nullptr;
    };
    if (setting == nullptr) {
        if (!(platform.ownAccess && platform.ownAccess())) {
            if (auto io = helper()) {
                return io;
            }
        }
        return std::make_unique<HardwarePortIo>();
    }
    const std::string_view value(setting);
    if (!known(value)) {
        return std::make_unique<NullPortIo>(PortAccess::Misconfigured);
    }
    if (value == "helper") {
        auto io = helper();
        return io ? std::move(io) : std::make_unique<NullPortIo>(PortAccess::Denied);
    }
    if (value.starts_with(kTracePrefix)) {
        return std::make_unique<TracePortIo>(std::string(value.substr(kTracePrefix.size())), clock,
                                             startMs);
    }
    return std::make_unique<NullPortIo>();
}

std::string portIoSettingProblem(const char* setting) {
    if (setting == nullptr || known(setting)) {
        return {};
    }
    return "R550_PORT_IO=" + std::string(setting) + " is not a way to reach the keyboard " +
           "controller; it takes " + kPortIoSettings + " (or is left unset)";
}

#include "base/WriteLog.h"

#include "base/AccountName.h"
#include "base/ProgramPaths.h"
#include "base/UniqueFd.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Facility user (1), severity notice (5).
constexpr int kPriority = 1 * 8 + 5;

// A value as one word of the line: control bytes and blanks cannot split or forge a line.
std::string word(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        out += byte < 0x21 || byte == 0x7F ? '_' : c;
    }
    return out.empty() ? "-" : out;
}

std::string logUserName(uid_t uid) {
    return accountName(uid).value_or(std::to_string(uid));
}

// The header a syslog daemon expects before the text: "<13>Jan  9 07:01:02 r550ctl[123]: ".
std::string header() {
    char stamp[32] = "";
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (::localtime_r(&now, &local) != nullptr) {
        std::strftime(stamp, sizeof stamp, "%b %e %H:%M:%S", &local);
    }
    return "<" + std::to_string(kPriority) + ">" + stamp + " " +
           word(program_invocation_short_name) + "[" + std::to_string(::getpid()) + "]: ";
}

} // namespace

std::string WriteLog::who() {
    const uid_t uid = ::getuid();
    const std::string name = logUserName(uid);
    std::string text = "uid=" + std::to_string(uid) + " user=" + word(name);
    const char* sudoUser = std::getenv("SUDO_USER");
    if (sudoUser != nullptr && *sudoUser != '\0' && name != sudoUser) {
        text += " sudo_user=" + word(sudoUser);
    }
    // The kernel's login uid: the user who logged in, whatever su or sudo made of the process.
    long long loginUid = -1;
    std::ifstream("/proc/self/loginuid") >> loginUid;
    if (loginUid >= 0 && loginUid != 4294967295LL && static_cast<uid_t>(loginUid) != uid) {
        text += " login_uid=" + std::to_string(loginUid) +
                " login_user=" + word(logUserName(static_cast<uid_t>(loginUid)));
    }
    return text;
}

std::string WriteLog::message(const ReaderWrite& write) {
    std::string changed;
    for (const std::string& name : write.changed) {
        changed += (changed.empty() ? "" : ",") + word(name);
    }
    return "command=" + word(write.command) + " port=" + word(write.port) +
           " device=" + word(write.device) + " outcome=" + word(write.outcome) + " " + who() +
           " changed=" + (changed.empty() ? word(write.what) : changed);
}

void WriteLog::record(const ReaderWrite& write) {
    const std::string datagram = header() + message(write);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", programPaths().syslogSocket);
    const UniqueFd socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!socket.valid()) {
        return;
    }
    const int saved = errno;
    // Never waits: a log daemon that is slow or gone costs the line, not the command.
    (void)::sendto(socket.get(), datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                   reinterpret_cast<const sockaddr*>(&address), sizeof address);
    errno = saved;
}

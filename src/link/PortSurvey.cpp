#include "link/PortSurvey.h"

#include "base/ShellWord.h"
#include "base/UniqueFd.h"
#include "link/PortHolders.h"
#include "link/SerialLink.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <set>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace {

std::vector<std::string> asStrings(const std::vector<std::filesystem::path>& paths) {
    std::vector<std::string> texts;
    for (const std::filesystem::path& path : paths) {
        texts.push_back(path.string());
    }
    return texts;
}

// The serial link's own open and lock, without its line settings and modem lines: 0, or the
// errno of the step that failed. `held` tells whether another program holds the port: its lock,
// or its exclusive mode where some holder could not be looked for (`sawAll` false).
int openAndLock(const std::filesystem::path& device, std::optional<bool>& held, bool sawAll) {
    const UniqueFd fd(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) {
        const int error = errno;
        if (SerialLink::failureFromErrno(error) == FailureKind::InUse) {
            held = true;
        }
        return error;
    }
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        held = error == EWOULDBLOCK;
        return error;
    }
    int exclusive = 0;
    held = !sawAll && ::ioctl(fd.get(), TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
    if (*held) {
        return EBUSY;
    }
    termios settings{};
    return ::tcgetattr(fd.get(), &settings) != 0 ? errno : 0;
}

} // namespace

PortSurvey::PortSurvey(const PortMap& map, std::filesystem::path byIdFolder,
                       std::filesystem::path sysClassTty)
    : map_(map), byIdFolder_(std::move(byIdFolder)), sysClassTty_(std::move(sysClassTty)) {}

PortSurvey::Status PortSurvey::check(const PortName& portName) const {
    Status status;
    status.label = portName.label();
    status.portNumber = portName.portNumber();
    const std::optional<std::filesystem::path> device = portName.resolve(map_);
    const std::vector<std::string> tried = asStrings(portName.places(map_));
    // Where the port was looked for matters when there is no device node; a node that is there
    // but has nothing behind it (a ttyS without a UART) is told as such.
    auto fail = [&](FailureKind kind, int systemError) {
        status.failure.kind = kind;
        status.failure.port = portName.portNumber();
        status.failure.device = status.device;
        status.failure.systemError = systemError;
        if (kind == FailureKind::NoSuchPort && !status.exists) {
            status.failure.tried = tried;
        }
        if (kind == FailureKind::NoPermission) {
            SerialLink::notePermissions(status.device, status.failure);
        }
        return status;
    };
    if (!device) {
        return fail(FailureKind::NoSuchPort, ENOENT);
    }
    status.device = device->string();
    status.target = PortName::canonicalText(*device);
    std::error_code ignored;
    status.exists = !status.target.empty() && std::filesystem::exists(*device, ignored);
    if (!status.exists) {
        status.target.clear();
        return fail(FailureKind::NoSuchPort, ENOENT);
    }
    status.mayOpen = ::faccessat(AT_FDCWD, device->c_str(), R_OK | W_OK, AT_EACCESS) == 0;
    if (!*status.mayOpen) {
        return fail(FailureKind::NoPermission, EACCES);
    }

    PortHolders holders;
    if (const std::optional<PortHolders::Holder> holder = holders.find(*device)) {
        status.held = true;
        fail(FailureKind::InUse, EBUSY);
        status.failure.holder = holder->program;
        status.failure.holderPid = holder->pid;
        return status;
    }
    const int error = openAndLock(*device, status.held, holders.sawAll());
    return error == 0 ? status : fail(SerialLink::failureFromErrno(error), error);
}

bool PortSurvey::isFree(int portNumber) const {
    const std::vector<std::filesystem::path> places = map_.candidates(portNumber);
    const auto entry = std::find_if(places.begin(), places.end(), PortMap::entryExists);
    if (entry == places.end()) {
        return !places.empty();
    }
    const std::string systemNode = "/dev/ttyS" + std::to_string(portNumber - 1);
    if (entry->string() != systemNode) {
        return false;
    }
    // The kernel makes ttyS nodes for UARTs that may not be there; type 0 means none is.
    std::ifstream type(sysClassTty_ / ("ttyS" + std::to_string(portNumber - 1)) / "type");
    int portType = -1;
    return static_cast<bool>(type >> portType) && portType == 0;
}

std::vector<std::filesystem::path> PortSurvey::adapterEntries() const {
    std::vector<std::filesystem::path> entries;
    std::error_code error;
    for (std::filesystem::directory_iterator it(byIdFolder_, error), end; !error && it != end;
         it.increment(error)) {
        entries.push_back(it->path());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::vector<PortSurvey::Adapter> PortSurvey::unmappedAdapters() const {
    std::vector<Adapter> adapters;
    std::error_code error;
    const std::vector<std::filesystem::path> entries = adapterEntries();

    std::set<std::string> mapped;
    for (int n = PortMap::kFirstPort; n <= PortMap::kLastPort; ++n) {
        if (const std::optional<std::filesystem::path> device = map_.resolve(n)) {
            mapped.insert(PortName::canonicalText(*device));
        }
    }
    mapped.erase(std::string());

    int nextCandidate = PortMap::kFirstPort;
    for (const std::filesystem::path& entry : entries) {
        Adapter adapter;
        adapter.link = entry.string();
        adapter.target = PortName::canonicalText(entry);
        if (adapter.target.empty() || mapped.count(adapter.target) != 0) {
            continue; // unplugged meanwhile, or some port number already leads to it
        }
        while (nextCandidate <= kLastSuggestedPort && !isFree(nextCandidate)) {
            ++nextCandidate;
        }
        const std::vector<std::filesystem::path> places = map_.candidates(nextCandidate);
        // The first place of the map is the user's own (or the ports folder); without a home
        // folder there is no place to put a link.
        if (nextCandidate <= kLastSuggestedPort && places.size() != 0 &&
            places.front().string().rfind("/dev/", 0) != 0) {
            adapter.suggestedPort = nextCandidate;
            const std::filesystem::path place = places.front();
            adapter.mapCommand = "ln -s " + shellWord(adapter.link) + " " + shellWord(place);
            if (!std::filesystem::is_directory(place.parent_path(), error)) {
                adapter.mapCommand =
                    "mkdir -p " + shellWord(place.parent_path()) + " && " + adapter.mapCommand;
            }
            ++nextCandidate;
        }
        adapters.push_back(adapter);
    }
    return adapters;
}

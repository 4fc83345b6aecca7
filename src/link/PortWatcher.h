#pragma once

#include "base/UniqueFd.h"
#include "link/PortName.h"

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// Tells when a reader's device appears on one of a few ports, or as a new entry of a folder of
// adapters (/dev/serial/by-id), without polling: inotify watches the folders the ports are
// looked for in (the ports folder with its comN links, the user's map, /dev), the folders the
// links lead through, and the adapter folder; each batch of events brings one new look. A
// device is known by the entry and the node behind it, so one that was unplugged and plugged
// in again, or a link made anew, appears again.
class InterruptSignals;

class PortWatcher {
public:
    explicit PortWatcher(const PortMap& map) : map_(map) {}

    // A port given by number or path: a device present at the first look counts as appeared.
    void addPort(const PortName& portName) { ports_.push_back(portName); }
    // Every entry of `folder`; only entries that come after the first look count as appeared.
    void addFolder(const std::filesystem::path& folder) { folders_.push_back(folder); }

    // Sets up inotify; false with the reason when it cannot.
    bool start(std::string& error);
    // Readable when something changed in a watched folder.
    int descriptor() const { return inotify_.get(); }

    // The ports whose device appeared since the last look, each device once: at once those
    // present at the first look, then after waiting for the next change. Nothing when Ctrl+C
    // came (`signals`) or the wait failed (`error` says why then).
    std::optional<std::vector<PortName>> next(InterruptSignals& signals, std::string& error);

private:
    // Waits until no event has come for `quietMs` (a link is often made under a passing name and
    // renamed; a new adapter's entries come one by one), at most `mostMs` in all.
    void settle(int quietMs, int mostMs);
    // Takes the events that wait (none is needed for the first look), watches the folders the
    // ports now lead through, and gives the ports whose device appeared since the last look.
    std::vector<PortName> look();
    void watch(const std::filesystem::path& place);
    void watchChain(const std::filesystem::path& entry);
    void drain();

    const PortMap& map_;
    std::vector<PortName> ports_;
    std::vector<std::filesystem::path> folders_;
    UniqueFd inotify_;
    std::set<std::string> watched_;
    // The label of each port present at the last look, and what stood behind it.
    std::map<std::string, std::string> present_;
    bool looked_ = false;
};

#pragma once

#include "link/Failure.h"
#include "link/PortMap.h"
#include "link/PortName.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// What can be found out about serial ports without using them: where a port number leads, whether
// the device is there, whether this user may open it and whether another program holds it; and
// which USB serial adapters no port number leads to yet.
//
// A port is held when another process has it open (seen in /proc: all of them as root, this
// user's own otherwise), or when its lock or exclusive mode refuses an open. A port seen held is
// not opened at all; otherwise the check opens the device without waiting for carrier and without
// touching its line settings, tries the same lock as the serial link, and closes it again. Linux
// raises DTR on the first open of a port, so a device that nothing holds sees DTR pulse; the
// window's search for the reader does the same to COM1..COM9.
class PortSurvey {
public:
    struct Status {
        std::string label;   // "COM3", or the path given
        int portNumber = 0;  // 0 for a path
        std::string device;  // the map's entry (or the path given); empty when there is none
        std::string target;  // the device node that links lead to; empty when there is none
        bool exists = false; // a device node is there
        std::optional<bool> mayOpen; // this user may read and write it; unknown when missing
        std::optional<bool> held;    // another program holds it; unknown when not checked
        Failure failure;             // why it cannot be used; kind None when it can
    };

    // A device in the adapter folder that no port number leads to.
    struct Adapter {
        std::string link;       // its entry in the adapter folder
        std::string target;     // the device node
        int suggestedPort = 0;  // the first free port number; 0 when none is free
        std::string mapCommand; // the shell line that maps it to that number; empty with none
    };

    // The window's port list ends at Com 98; suggestions stay inside it.
    static constexpr int kLastSuggestedPort = 98;

    // `sysClassTty` is where the kernel describes its serial ports (/sys/class/tty); a
    // /dev/ttyS node whose port type there is 0 has no UART behind it and counts as free.
    PortSurvey(const PortMap& map, std::filesystem::path byIdFolder,
               std::filesystem::path sysClassTty = "/sys/class/tty");

    Status check(const PortName& portName) const;

    // The entries of the adapter folder, by name.
    std::vector<std::filesystem::path> adapterEntries() const;
    // The adapters that no port number leads to, by name, each with its own free number.
    std::vector<Adapter> unmappedAdapters() const;

    // True when port n can be given to an adapter: no map entry exists for it, or the entry is
    // the system's /dev/ttyS node and no UART stands behind it.
    bool isFree(int portNumber) const;

private:
    const PortMap& map_;
    std::filesystem::path byIdFolder_;
    std::filesystem::path sysClassTty_;
};

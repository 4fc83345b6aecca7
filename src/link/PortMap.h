#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Resolves a serial port number (COMn) to the device that stands for it on this machine.
//
// With a ports folder set (R550_PORTS_DIR), port n is FOLDER/comN and nothing else is used, so
// a test or a demonstration never reaches a real device. Otherwise port n is the first entry
// that exists of: the user's own map ~/.config/r550tool/ports/comN, the system's map
// /etc/r550tool/ports/comN (for every user, root and its automation included), the Wine map
// $WINEPREFIX/dosdevices/comN (~/.wine/dosdevices/comN without WINEPREFIX), and /dev/ttyS<n-1>.
class PortMap {
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 255;
    static constexpr char kSystemMap[] = "/etc/r550tool/ports";

    // Empty values count as unset. `systemMap` is the system's map folder.
    PortMap(std::optional<std::string> portsDir, std::optional<std::string> home,
            std::optional<std::string> winePrefix,
            std::filesystem::path systemMap = std::filesystem::path(kSystemMap));

    // Reads R550_PORTS_DIR, HOME (the password database when HOME is unset) and WINEPREFIX.
    static PortMap fromEnvironment();

    // The places port n is looked for, in order; empty for a number outside 1..255.
    std::vector<std::filesystem::path> candidates(int portNumber) const;

    // The device for port n, or nothing (number outside 1..255, or no candidate exists). With
    // a ports folder set, FOLDER/comN is the answer whether it exists or not.
    std::optional<std::filesystem::path> resolve(int portNumber) const;

    // Whether something is at `path`: a dangling link counts, as a map entry may name a device
    // that is not plugged in.
    static bool entryExists(const std::filesystem::path& path);

private:
    std::optional<std::string> portsDir_;
    std::optional<std::string> home_;
    std::optional<std::string> winePrefix_;
    std::filesystem::path systemMap_;
};

#pragma once

#include "link/PortMap.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A serial port as the operator names it, on the command line or in a search: a number (3 or COM3,
// through the port map) or the path of a device (/dev/ttyUSB0, /dev/serial/by-id/...).
class PortName {
public:
    // "3", "COM3" or "com3" name COM3; a number must lie in 1..255. Anything with a '/' is a
    // path. Nothing for an empty text, a number out of range, or a word that is neither (a
    // mistyped "COMx"), so that it is not taken for a file in the working folder; "./name" names
    // such a file.
    static std::optional<PortName> parse(std::string_view text);
    // The message for a --port text that parse refused.
    static std::string notAPort(std::string_view text);
    // Each text as a port, appended to `ports`, each device once however it was named (a second
    // open of the same device would only fail). The message for the first text that names no
    // port, or nothing.
    static std::optional<std::string> parseEach(const std::vector<std::string>& texts,
                                                const PortMap& map, std::vector<PortName>& ports);

    static PortName number(int portNumber);
    static PortName path(std::filesystem::path device);

    // The port number, 0 for a path.
    int portNumber() const { return portNumber_; }
    const std::filesystem::path& device() const { return device_; }
    // "COM3", or the path.
    std::string label() const;
    // Where it is looked for: the port map's places for a number, the path itself.
    std::vector<std::filesystem::path> places(const PortMap& map) const;
    // The device it stands for: the path, or what the port map gives (nothing when the map
    // knows no device for the number).
    std::optional<std::filesystem::path> resolve(const PortMap& map) const;
    // The device node it leads to in the end, links followed; empty when there is none.
    std::string canonicalDevice(const PortMap& map) const;
    // The same for a path; empty when it leads nowhere.
    static std::string canonicalText(const std::filesystem::path& path);

private:
    int portNumber_ = 0;
    std::filesystem::path device_;
};

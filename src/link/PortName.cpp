#include "link/PortName.h"

#include <cctype>
#include <charconv>
#include <set>
#include <system_error>
#include <utility>

namespace {

bool startsWithCom(std::string_view text) {
    return text.size() > 3 && std::tolower(static_cast<unsigned char>(text[0])) == 'c' &&
           std::tolower(static_cast<unsigned char>(text[1])) == 'o' &&
           std::tolower(static_cast<unsigned char>(text[2])) == 'm';
}

} // namespace

std::optional<PortName> PortName::parse(std::string_view text) {
    if (text.find('/') != std::string_view::npos) {
        return path(std::filesystem::path(std::string(text)));
    }
    const std::string_view digits = startsWithCom(text) ? text.substr(3) : text;
    int value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
        value < PortMap::kFirstPort || value > PortMap::kLastPort) {
        return std::nullopt;
    }
    return number(value);
}

PortName PortName::number(int portNumber) {
    PortName portName;
    portName.portNumber_ = portNumber;
    return portName;
}

PortName PortName::path(std::filesystem::path device) {
    PortName portName;
    portName.device_ = std::move(device);
    return portName;
}

std::string PortName::label() const {
    return portNumber_ != 0 ? "COM" + std::to_string(portNumber_) : device_.string();
}

std::vector<std::filesystem::path> PortName::places(const PortMap& map) const {
    return portNumber_ != 0 ? map.candidates(portNumber_)
                            : std::vector<std::filesystem::path>{device_};
}

std::optional<std::filesystem::path> PortName::resolve(const PortMap& map) const {
    if (portNumber_ == 0) {
        return device_;
    }
    return map.resolve(portNumber_);
}

std::string PortName::notAPort(std::string_view text) {
    return "--port " + std::string(text) +
           ": not a port (a number from 1 to 255, COMn, or a path with a '/')";
}

std::string PortName::canonicalDevice(const PortMap& map) const {
    const std::optional<std::filesystem::path> device = resolve(map);
    return device ? canonicalText(*device) : std::string();
}

std::string PortName::canonicalText(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::path found = std::filesystem::canonical(path, error);
    return error ? std::string() : found.string();
}

std::optional<std::string> PortName::parseEach(const std::vector<std::string>& texts,
                                               const PortMap& map, std::vector<PortName>& ports) {
    std::set<std::string> labels;
    std::set<std::string> devices;
    for (const std::string& text : texts) {
        const std::optional<PortName> port = parse(text);
        if (!port) {
            return notAPort(text);
        }
        const std::string device = port->canonicalDevice(map);
        if (labels.insert(port->label()).second &&
            (device.empty() || devices.insert(device).second)) {
            ports.push_back(*port);
        }
    }
    return std::nullopt;
}

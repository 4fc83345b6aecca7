#pragma once

#include "link/PortName.h"
#include "link/TransferPacer.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class CommandContext;
class InterruptSignals;
class Reader;

// r550ctl apply FILE --watch: a station that brings every reader to FILE's settings as it is
// plugged in. It waits on PortWatcher for a device to appear on one of the given ports, or as a
// new adapter in the adapter folder, applies FILE to it once (readers that appear together side
// by side) and prints one line (or JSON object) per reader with a running count. A reader
// unplugged and plugged in again is applied again. Ctrl+C ends it with the count of readers done
// and of those that failed, with their ports.
class ApplyWatch {
public:
    // `beginReader` starts the apply on a reader that appeared; `ownKeys`: apply's own keys of a
    // reader's JSON object.
    ApplyWatch(CommandContext& context, std::function<void(Reader&)> beginReader,
               std::vector<std::string> ownKeys, Pace pace, TransferPacer::Limits limits);

    void addPort(const PortName& portName) { ports_.push_back(portName); }
    void addFolder(const std::filesystem::path& folder) { folder_ = folder; }

    // Runs until Ctrl+C (or SIGTERM, SIGHUP). The exit status: 0 when every reader ended
    // unchanged or changed, 1 when one still differed, 3 when one failed, 130 when Ctrl+C cut a
    // reader short.
    int run();

private:
    // Applies FILE to these ports at once; false when Ctrl+C came meanwhile.
    bool applyTo(const std::vector<PortName>& ports, InterruptSignals& signals);
    void report(const Reader& reader);
    int finish(bool cutShort);
    std::string watchedText() const;

    CommandContext& context_;
    std::function<void(Reader&)> beginReader_;
    std::vector<std::string> ownKeys_;
    Pace pace_;
    TransferPacer::Limits limits_;
    std::vector<PortName> ports_;
    std::optional<std::filesystem::path> folder_;
    int count_ = 0;
    int done_ = 0;
    std::vector<std::string> differPorts_;
    std::vector<std::string> failedPorts_;
    std::string loopError_;
};

#pragma once

#include "link/PortMap.h"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

// What every subcommand shares: the common options, the port map, where the system lists USB
// serial adapters, and the two output streams (data on stdout, messages on stderr).
class CommandContext {
public:
    // The folder the system keeps its links to serial adapters in.
    static constexpr const char* kByIdFolder = "/dev/serial/by-id";

    CommandContext(PortMap portMap, std::filesystem::path byIdFolder, std::ostream& out,
                   std::ostream& err);

    // The port map of the environment (R550_PORTS_DIR, HOME, WINEPREFIX), and the adapter folder
    // from R550_BY_ID_DIR, which exists for tests only, or kByIdFolder.
    static CommandContext fromEnvironment(std::ostream& out, std::ostream& err);

    // The common options, set while the command line is read.
    bool json = false;  // one JSON object per line on stdout instead of text
    bool quiet = false; // no notes on stderr; errors still show

    const PortMap& portMap() const { return portMap_; }
    const std::filesystem::path& byIdFolder() const { return byIdFolder_; }
    std::ostream& out() { return out_; }
    std::ostream& err() { return err_; }

    // A line of data on stdout, flushed at once so that a script reading a pipe sees it.
    void printLine(const std::string& line);
    // One JSON object as one line on stdout, its members in the order they were set. Bytes that are
    // not UTF-8 (a device path may hold any) are replaced instead of failing the whole line.
    void printJson(const nlohmann::ordered_json& object);
    // "r550ctl: TEXT" on stderr, whatever --quiet says.
    void error(const std::string& text);
    // "r550ctl: TEXT" on stderr, unless --quiet.
    void note(const std::string& text);

private:
    PortMap portMap_;
    std::filesystem::path byIdFolder_;
    std::ostream& out_;
    std::ostream& err_;
};

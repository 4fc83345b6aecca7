#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The tool's keyboard-port trace: one line "<ms since start> 0x<port> 0x<byte>" per write.
class PortTrace {
public:
    struct Write {
        std::int64_t milliseconds = 0;
        int port = 0;
        int value = 0;
    };

    // Every complete line of the file; nothing when a line does not have the trace's form.
    static std::optional<std::vector<Write>> read(const std::filesystem::path& file);
    // "1b 1d c0 ...": the bytes of the writes, in lower-case hex.
    static std::string bytesOf(const std::vector<Write>& writes);
};

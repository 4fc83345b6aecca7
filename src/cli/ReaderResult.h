#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

// What r550ctl reports for one reader: one line (port, device, outcome, time, and a reason or a
// short detail) or one JSON object, and, for some commands, lines that follow it.
struct ReaderResult {
    enum class Status {
        Ok,
        Failed,      // the reader did not do what was asked; `reason` says why
        Differs,     // verify found settings that differ
        Interrupted, // Ctrl+C came before the reader was done
    };

    // Nothing is done until the command says so.
    Status status = Status::Failed;
    std::string word;                // the outcome's own word, where the command has one
    std::string reason = "not done"; // why it failed, as a short phrase
    std::string detail;              // the end of the line: a version text, a count
    std::vector<std::string> lines;  // lines after the result line (settings, differences)
    nlohmann::ordered_json extra;    // the command's own members of the JSON object
    std::int64_t milliseconds = 0;

    bool succeeded() const { return status == Status::Ok; }
};

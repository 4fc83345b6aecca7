#pragma once

#include "cli/FieldValue.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct Outcome;

// What r550ctl reports for one reader: its outcome, the stable error word and the reason when it
// failed, a short detail (a version text, a file written), lines that follow its line in text,
// and the command's own typed fields of its JSON object.
struct ReaderResult {
    enum class Status {
        Ok,
        Failed,      // the reader did not do what was asked; `reason` says why
        Differs,     // it holds settings that differ
        Interrupted, // Ctrl+C came before the reader was done
    };

    // Nothing is done until the command says so.
    Status status = Status::Failed;
    std::string word;              // the outcome's own word where the command has one ("changed")
    std::string error = "not_run"; // the stable word of the reason; empty unless failed
    std::string reason = "not done";
    std::string detail;
    std::vector<std::string> lines;
    std::map<std::string, FieldValue> extra;
    std::int64_t milliseconds = 0;

    // The one place a transaction's outcome becomes the reader's status: ok, or failed with the
    // reason. True when the reader did what was asked.
    bool take(const Outcome& outcome);
    void fail(std::string errorWord, std::string why);
    bool succeeded() const { return status == Status::Ok; }
    // `word` where the command gave one, otherwise the status's own word.
    std::string outcomeWord() const;

    // The exit status of a run: interrupted, then any failure (3), then any difference (1).
    static int exitCode(const std::vector<const ReaderResult*>& results, bool interrupted);
};

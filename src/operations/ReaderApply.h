#pragma once

#include "operations/Outcome.h"
#include "settings/SettingDifferences.h"
#include "settings/SettingsImage.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class ReaderSession;

// Bringing one reader to a settings file's values and no further: it reads the reader back and
// compares, by name, every setting the reader holds (ReadBackCoverage); when they are all equal
// nothing is written. Otherwise it programs the file, reads back again and checks. With `check`
// it stops after the comparison.
class ReaderApply {
public:
    enum class Ending {
        Unchanged,   // the reader held the file's settings already
        WouldChange, // it holds others (check only)
        Changed,     // it was programmed, and now holds the file's settings
        Differs,     // it was programmed, and still holds others
        Failed,      // a step failed
    };

    struct Result {
        Ending ending = Ending::Failed;
        // Something was sent that changes settings (the reader may hold part of them after a
        // failure).
        bool changed = false;
        // The first read-back, and every setting in which it differs from the file; the first text
        // of each difference is the file's, the second the reader's.
        std::shared_ptr<const SettingsImage> readBack;
        std::vector<SettingDifference> differences;
        // Differs: the settings that still differ after programming.
        std::vector<SettingDifference> left;
        // Failed: the outcome of the step that failed, and where the run was ("" reading,
        // "while programming: ", "programmed, but the read-back failed: ").
        Outcome failed;
        std::string during;
    };
    using Done = std::function<void(const Result& result)>;

    // `file` must outlive every reader's run.
    ReaderApply(const SettingsImage& file, bool check) : file_(file), check_(check) {}

    const SettingsImage& file() const { return file_; }

    // Starts the reader's first step; the caller's loop runs it to its end, and `done` is told.
    void begin(ReaderSession& session, Done done) const;

private:
    void program(ReaderSession& session, std::shared_ptr<Result> result, Done done) const;
    void verify(ReaderSession& session, std::shared_ptr<Result> result, Done done) const;
    // A step that did not end done ends the run failed; true when it did end done.
    static bool stepDone(const Outcome& outcome, const char* during, Result& result,
                         const Done& done);

    const SettingsImage& file_;
    bool check_;
};

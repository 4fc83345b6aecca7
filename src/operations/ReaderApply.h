#pragma once

#include "operations/Outcome.h"
#include "settings/SettingAssignment.h"
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
// it stops after the comparison. Given named values instead of a file (a profile, --set), each
// reader's target is what it holds with those values laid over it, so that nothing unnamed
// changes.
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
        // What the reader is brought to: the file, or its read-back with the named values over it.
        std::shared_ptr<const SettingsImage> target;
        // The first read-back (laid over the factory values), and every setting in which it differs
        // from the file; the first text of each difference is the file's, the second the reader's.
        std::shared_ptr<const SettingsImage> readBack;
        std::vector<SettingDifference> differences;
        // Differs: the settings that still differ after programming.
        std::vector<SettingDifference> left;
        // Failed: the outcome of the step that failed, and where the run was ("" reading,
        // "while programming: ", "programmed, but the read-back failed: ").
        Outcome failed;
        std::string during;
        // Failed because beforeWrite said no: the caller knows why.
        bool stopped = false;
    };
    using Done = std::function<void(const Result& result)>;

    ReaderApply(const SettingsImage& file, bool check) : file_(file), check_(check) {}
    // Only the named settings; every one must be one the read-back covers.
    ReaderApply(std::vector<SettingAssignment> named, bool check)
        : named_(std::move(named)), whole_(false), check_(check) {}

    // Told what a reader holds just before it is written to (to keep a backup); false stops the
    // reader failed, with nothing written.
    using BeforeWrite = std::function<bool(ReaderSession& session, const SettingsImage& readBack)>;
    void beforeWrite(BeforeWrite check) { beforeWrite_ = std::move(check); }

    // Starts the reader's first step; the caller's loop runs it to its end, and `done` is told.
    void begin(ReaderSession& session, Done done) const;

private:
    // The target for a reader that holds `readBack`.
    std::shared_ptr<const SettingsImage> targetFor(const SettingsImage& readBack) const;
    void program(ReaderSession& session, std::shared_ptr<Result> result, Done done) const;
    void verify(ReaderSession& session, std::shared_ptr<Result> result, Done done) const;
    // A step that did not end done ends the run failed; true when it did end done.
    static bool stepDone(const Outcome& outcome, const char* during, Result& result,
                         const Done& done);

    SettingsImage file_;
    std::vector<SettingAssignment> named_;
    bool whole_ = true;
    bool check_;
    BeforeWrite beforeWrite_;
};

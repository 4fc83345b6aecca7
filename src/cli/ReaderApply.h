#pragma once

#include "settings/SettingsImage.h"

#include <string>

class Reader;

// Bringing one reader to a settings file's values and no further: it reads the reader back and
// compares, by name, every setting the reader holds (ReadBackCoverage); when they are all equal
// nothing is written. Otherwise it programs the file, reads back again and checks. With `check`
// it stops after the comparison. It leaves on the session's result one of the outcomes
// "unchanged", "changed", "would change", "differs" (still, after programming) and "failed",
// with the JSON members `error`, `changed` and `differences` ({name, reader, file}, typed), and
// with `listDifferences` a line "name: reader → file" per setting after the result line.
class ReaderApply {
public:
    struct Options {
        bool check = false;
        bool listDifferences = false;
    };

    // `file` must outlive the reader's run.
    ReaderApply(const SettingsImage& file, Options options) : file_(file), options_(options) {}

    // Starts the reader's first step; the caller's loop runs it to its end.
    void begin(Reader& session) const;

private:
    void program(Reader& session) const;
    void verify(Reader& session) const;

    const SettingsImage& file_;
    Options options_;
};

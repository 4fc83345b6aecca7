#pragma once

#include "support/ChildProcess.h"

#include <filesystem>
#include <string>
#include <vector>

// The r550-sim program playing a reader on COM3 of the test's ports folder. Each run keeps its
// own frame log and memory file, named after the run.
class ReaderSimulator {
public:
    ReaderSimulator(std::filesystem::path program, std::filesystem::path folder)
        : program_(std::move(program)), folder_(std::move(folder)) {}

    // Starts a run called `name` with the extra switches (--preset, --silent, --version...) and
    // waits for its ready line. False with the reason in `error`.
    bool start(const std::string& name, const std::vector<std::string>& switches,
               std::string& error);
    void stop() { process_.stop(); }

    // The COM3 link of the ports folder.
    std::filesystem::path link() const { return folder_ / "ports" / "com3"; }
    // The frames the current run has received, one line of upper-case hex each.
    std::vector<std::string> frames() const;
    // The current run's memory file: a "C0 ..." and a "C1 ..." line.
    std::string memory() const;

private:
    std::filesystem::path program_;
    std::filesystem::path folder_;
    std::string name_;
    ChildProcess process_;
};

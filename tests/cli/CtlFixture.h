#pragma once

#include "support/ChildProcess.h"
#include "support/PseudoTerminal.h"
#include "support/TempFolder.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// The built r550ctl and reader simulators, run against a ports folder (R550_PORTS_DIR) and an
// adapter folder (R550_BY_ID_DIR) of the test's own.
class CtlFixture : public ::testing::Test {
public:
    static std::string fileText(const std::filesystem::path& path);
    static std::vector<std::string> linesOf(const std::string& text);
    // One JSON object a line (a line that is none gives a discarded value).
    static std::vector<nlohmann::json> jsonLines(const std::string& text);

protected:
    // How long a test waits for a program to answer or end before it fails.
    static constexpr std::chrono::seconds kPatience{5};

    ~CtlFixture() override;
    void SetUp() override;

    // What r550ctl runs with; a fixture may add to it.
    virtual ChildProcess::Environment environment() const;
    // r550ctl with these arguments run to its end, `extra` set on top of environment().
    ChildProcess::Result ctl(const std::vector<std::string>& arguments,
                             const ChildProcess::Environment& extra = {}) const;
    // r550ctl started with these arguments, its output on pipes.
    std::unique_ptr<ChildProcess> startCtl(const std::vector<std::string>& arguments) const;
    // A simulator linked as `link` (or as COMn), with these options; empty when it gave no ready
    // line.
    std::unique_ptr<ChildProcess> startSimulator(const std::filesystem::path& link,
                                                 const std::vector<std::string>& options) const;
    std::unique_ptr<ChildProcess> startSimulator(int portNumber,
                                                 const std::vector<std::string>& options) const;
    std::filesystem::path com(int portNumber) const;
    // True when the serial link can take COMn now: nothing holds it any longer.
    bool portIsFree(int portNumber) const;
    // Makes COMn a line that another descriptor holds open with the serial link's lock, until
    // the test ends.
    testing::AssertionResult holdPort(int portNumber);

    TempFolder folder;
    std::filesystem::path ports = folder.path() / "ports";
    std::filesystem::path byId = folder.path() / "by-id";

private:
    std::vector<std::unique_ptr<PseudoTerminal>> heldLines_;
    std::vector<int> holders_;
};

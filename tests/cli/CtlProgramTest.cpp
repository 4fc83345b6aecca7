// The built r550ctl against the reader simulator on a private ports folder (R550_PORTS_DIR) and
// a private adapter folder (R550_BY_ID_DIR).

#include "RunningProgram.h"
#include "link/SerialLink.h"
#include "link/SteadyClock.h"
#include "support/PseudoTerminal.h"
#include "support/TempFolder.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

constexpr auto kPatience = 5s;

// A ports folder and an adapter folder of the test's own, and the programs run against them.
struct CtlProgramTest : ::testing::Test {
    void SetUp() override {
        ASSERT_FALSE(folder.path().empty());
        std::filesystem::create_directory(ports);
        std::filesystem::create_directory(byId);
    }

    RunningProgram::Environment environment() const {
        return {{"R550_PORTS_DIR", ports.string()}, {"R550_BY_ID_DIR", byId.string()}};
    }

    RunningProgram::Result ctl(const std::vector<std::string>& arguments) const {
        std::vector<std::string> all{R550_CTL_PROGRAM};
        all.insert(all.end(), arguments.begin(), arguments.end());
        return RunningProgram::run(all, environment());
    }

    // A simulator serving COMn; empty pointer when it did not come up.
    std::unique_ptr<RunningProgram> startSimulator(int portNumber,
                                                   const std::vector<std::string>& options) {
        std::vector<std::string> arguments{R550_SIM_PROGRAM, "--link",
                                           (ports / ("com" + std::to_string(portNumber))).string()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        auto sim = std::make_unique<RunningProgram>(arguments, RunningProgram::Environment{});
        if (!sim->waitForOutput(" -> /dev/pts/", kPatience)) {
            return nullptr;
        }
        return sim;
    }

    std::unique_ptr<RunningProgram> startCtl(const std::vector<std::string>& arguments) const {
        std::vector<std::string> all{R550_CTL_PROGRAM};
        all.insert(all.end(), arguments.begin(), arguments.end());
        return std::make_unique<RunningProgram>(all, environment());
    }

    // True when the serial link can take COMn now: nothing holds it any longer.
    bool portIsFree(int portNumber) const {
        SteadyClock clock;
        SerialLink link(PortMap(ports.string(), std::nullopt, std::nullopt), clock);
        return link.open(portNumber);
    }

    TempFolder folder;
    std::filesystem::path ports = folder.path() / "ports";
    std::filesystem::path byId = folder.path() / "by-id";
};

std::vector<nlohmann::json> jsonLines(const std::string& text) {
    std::vector<nlohmann::json> objects;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        objects.push_back(nlohmann::json::parse(line, nullptr, false));
    }
    return objects;
}

} // namespace

TEST_F(CtlProgramTest, PortsTellsWhatEachPortIsAndHowToMapAnAdapter) {
    const auto sim = startSimulator(3, {});
    ASSERT_TRUE(sim);
    // COM4: a port that another descriptor holds with the serial link's lock.
    PseudoTerminal heldLine;
    ASSERT_TRUE(heldLine.ready());
    ASSERT_TRUE(heldLine.linkAs(ports, 4));
    const int holder = ::open(heldLine.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    // COM5 is missing; COM6 is a plain file.
    std::ofstream(ports / "com6") << "no port";
    // Two adapters: one that COM3 already leads to, one that nothing maps.
    PseudoTerminal adapterLine;
    ASSERT_TRUE(adapterLine.ready());
    std::filesystem::create_symlink(std::filesystem::canonical(ports / "com3"),
                                    byId / "usb-Mapped_Reader-if00-port0");
    std::filesystem::create_symlink(adapterLine.slavePath(), byId / "usb-New_Reader-if00-port0");

    const RunningProgram::Result json = ctl({"ports", "--json", "--port", adapterLine.slavePath()});
    ASSERT_EQ(json.exitCode, 0) << json.errors;
    std::map<std::string, nlohmann::json> byPort;
    std::vector<nlohmann::json> adapters;
    for (const nlohmann::json& object : jsonLines(json.output)) {
        ASSERT_TRUE(object.is_object()) << json.output;
        if (object.contains("adapter")) {
            adapters.push_back(object);
        } else {
            byPort[object["port"].get<std::string>()] = object;
        }
    }
    ASSERT_EQ(byPort.size(), 10u) << json.output;

    const nlohmann::json& com3 = byPort["COM3"];
    EXPECT_EQ(com3["target"], std::filesystem::canonical(ports / "com3").string());
    EXPECT_EQ(com3["exists"], true);
    EXPECT_EQ(com3["may_open"], true);
    EXPECT_EQ(com3["held"], false);
    EXPECT_EQ(com3["usable"], true);

    EXPECT_EQ(byPort["COM4"]["held"], true);
    // Held by this test, which the survey names.
    EXPECT_EQ(byPort["COM4"]["reason"], "open in " + byPort["COM4"]["holder"].get<std::string>() +
                                            " (PID " + std::to_string(::getpid()) + ")");
    EXPECT_EQ(byPort["COM5"]["exists"], false);
    EXPECT_EQ(byPort["COM5"]["reason"], "no device; looked for " + (ports / "com5").string());
    EXPECT_EQ(byPort["COM6"]["usable"], false);
    EXPECT_EQ(byPort["COM6"]["held"], false);
    EXPECT_NE(byPort["COM6"]["reason"].get<std::string>().find("not a serial port"),
              std::string::npos);
    // The test keeps the adapter's line open too, so that is held as well.
    EXPECT_EQ(byPort[adapterLine.slavePath()]["holder_pid"], ::getpid());

    ASSERT_EQ(adapters.size(), 1u) << json.output;
    EXPECT_EQ(adapters[0]["adapter"], (byId / "usb-New_Reader-if00-port0").string());
    EXPECT_EQ(adapters[0]["suggested_port"], 1);
    EXPECT_EQ(adapters[0]["map_command"], "ln -s " + (byId / "usb-New_Reader-if00-port0").string() +
                                              " " + (ports / "com1").string());

    // The same as a table; looking did not take the simulator's port away.
    const RunningProgram::Result table = ctl({"--quiet", "ports"});
    ASSERT_EQ(table.exitCode, 0) << table.errors;
    EXPECT_TRUE(
        std::regex_search(table.output, std::regex("\nCOM4 +\\S+ -> /dev/pts/\\d+ +yes +yes "
                                                   "+yes +open in \\S+ \\(PID \\d+\\)\n")))
        << table.output;
    EXPECT_NE(table.output.find("as COM1: ln -s " + (byId / "usb-New_Reader-if00-port0").string()),
              std::string::npos)
        << table.output;
    EXPECT_TRUE(table.errors.empty()) << table.errors;
    EXPECT_TRUE(portIsFree(3));
    ::close(holder);

    // A device path need not be UTF-8; the JSON line stays valid.
    const std::string latin1 = (folder.path() / "caf\xe9").string();
    const RunningProgram::Result odd = ctl({"--json", "ports", "--port", latin1});
    ASSERT_EQ(odd.exitCode, 0) << odd.errors;
    const std::vector<nlohmann::json> lines = jsonLines(odd.output);
    ASSERT_EQ(lines.size(), 11u) << odd.output; // COM1..COM9, the path, the adapter
    ASSERT_TRUE(lines[9].is_object()) << odd.output;
    EXPECT_EQ(lines[9]["exists"], false);
}

TEST_F(CtlProgramTest, MonitorPrintsEachSwipeUntilCtrlCAndReleasesThePort) {
    const auto sim = startSimulator(3, {"--line-rate", "9600", "--swipe", ";123=45?{123}{13}"});
    ASSERT_TRUE(sim);
    const auto monitor = startCtl({"monitor", "--port", "3", "--hex"});
    ASSERT_TRUE(monitor->waitForErrors("Ctrl+C to stop", kPatience)) << monitor->errors();

    sim->signal(SIGUSR1);
    ASSERT_TRUE(monitor->waitForOutput("\n", kPatience));
    std::this_thread::sleep_for(100ms);
    sim->signal(SIGUSR1);
    ASSERT_TRUE(monitor->waitForOutput("]\n2", kPatience));
    ASSERT_TRUE(monitor->waitForOutput("7B 0D]\n", kPatience));

    monitor->signal(SIGINT);
    EXPECT_EQ(monitor->waitForExit(kPatience), 130);
    // Two bursts, two lines: time stamp, the text (a typed brace as {123}), the bytes in hex.
    const std::regex line("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d  "
                          ";123=45\\?\\{123\\}\\{13\\}  "
                          "\\[3B 31 32 33 3D 34 35 3F 7B 0D\\]\n");
    const std::string output = monitor->output();
    EXPECT_EQ(std::distance(std::sregex_iterator(output.begin(), output.end(), line),
                            std::sregex_iterator()),
              2)
        << output;
    EXPECT_NE(monitor->errors().find("interrupted; COM3 released"), std::string::npos);
    EXPECT_TRUE(portIsFree(3));
}

// --decode reads the reader's settings back first, at its own pace, and marks its suffixes.
TEST_F(CtlProgramTest, MonitorDecodeMarksTheSuffixesTheReaderHolds) {
    const auto sim =
        startSimulator(3, {"--line-rate", "9600", "--card", ";4111111111111111=2512?"});
    ASSERT_TRUE(sim);
    const auto monitor = startCtl({"monitor", "--port", "3", "--decode"});
    ASSERT_TRUE(monitor->waitForErrors("Ctrl+C to stop", kPatience)) << monitor->errors();
    std::smatch took;
    const std::string notes = monitor->errors();
    ASSERT_TRUE(std::regex_search(notes, took, std::regex("marked from the reader .* (\\d+) ms")))
        << notes;
    std::cout << "settings read back in " << took[1] << " ms\n";
    EXPECT_LT(std::stoi(took[1]), 1000) << "not at the reader's pace";
    sim->signal(SIGUSR1);
    ASSERT_TRUE(monitor->waitForOutput("passes", kPatience));
    EXPECT_NE(monitor->output().find("\n  track 2 suffix: {13}{10}\n"), std::string::npos)
        << monitor->output();
    monitor->signal(SIGINT);
    EXPECT_EQ(monitor->waitForExit(kPatience), 130);
}

TEST_F(CtlProgramTest, MonitorReportsAnUnpluggedReader) {
    auto sim = startSimulator(3, {});
    ASSERT_TRUE(sim);
    const auto monitor = startCtl({"--json", "monitor", "--port", "COM3"});
    ASSERT_TRUE(monitor->waitForErrors("Ctrl+C to stop", kPatience)) << monitor->errors();
    sim->signal(SIGUSR1);
    ASSERT_TRUE(monitor->waitForOutput("\n", kPatience));
    sim->signal(SIGTERM);
    EXPECT_EQ(sim->waitForExit(kPatience), 0);

    EXPECT_EQ(monitor->waitForExit(kPatience), 3);
    EXPECT_NE(monitor->errors().find("COM3: the device went away"), std::string::npos)
        << monitor->errors();
    const std::vector<nlohmann::json> objects = jsonLines(monitor->output());
    ASSERT_EQ(objects.size(), 1u) << monitor->output();
    EXPECT_EQ(objects[0]["port"], "COM3");
    // A card number shows its first six and last four digits, in every member.
    EXPECT_EQ(objects[0]["text"].get<std::string>().rfind(";400000******7899=", 0), 0u)
        << objects[0]["text"];
    EXPECT_EQ(monitor->output().find("4000001234567899"), std::string::npos);
}

TEST_F(CtlProgramTest, BadUsageExitsWithTwoAndHelpWithZero) {
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {}, {"bogus"}, {"ports", "--bogus"}, {"monitor"}, {"monitor", "--port"}}) {
        const RunningProgram::Result result = ctl(arguments);
        EXPECT_EQ(result.exitCode, 2) << (arguments.empty() ? "" : arguments[0]);
        EXPECT_FALSE(result.errors.empty());
    }
    for (const std::string port : {"0", "256", "COMX", "com"}) {
        const RunningProgram::Result result = ctl({"monitor", "--port", port});
        EXPECT_EQ(result.exitCode, 2) << port;
        EXPECT_NE(result.errors.find("--port " + port + ": not a port"), std::string::npos)
            << result.errors;
    }
    // A port that names no device is a failed device command, not a usage error.
    const RunningProgram::Result missing = ctl({"monitor", "--port", "7"});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_NE(missing.errors.find("COM7: no device; looked for " + (ports / "com7").string()),
              std::string::npos)
        << missing.errors;

    const RunningProgram::Result help = ctl({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const std::string word : {"ports", "monitor", "--json", "--quiet", "130 interrupted"}) {
        EXPECT_NE(help.output.find(word), std::string::npos) << word;
    }
    const RunningProgram::Result monitorHelp = ctl({"monitor", "--help"});
    EXPECT_EQ(monitorHelp.exitCode, 0);
    EXPECT_NE(monitorHelp.output.find("--hex"), std::string::npos);

    // Each command's help: the common options, no words of the parser's own, and the port map
    // only where ports are taken.
    for (const auto& [command, takesPorts] :
         std::vector<std::pair<std::string, bool>>{{"ports", true},
                                                   {"version", true},
                                                   {"read", true},
                                                   {"monitor", true},
                                                   {"show", false},
                                                   {"set", false},
                                                   {"names", false}}) {
        const std::string text = ctl({command, "--help"}).output;
        for (const std::string word : {"--json", "-q,--quiet", "Exit status"}) {
            EXPECT_NE(text.find(word), std::string::npos) << command << ": " << word;
        }
        for (const std::string word : {"TEXT", "REQUIRED", "Excludes", "Needs", ":{", "FLOAT"}) {
            EXPECT_EQ(text.find(word), std::string::npos) << command << ": " << word;
        }
        EXPECT_EQ(text.find("R550_PORTS_DIR") != std::string::npos, takesPorts) << command;
    }
    const RunningProgram::Result typo = ctl({"dif", "a.cfg", "b.cfg"});
    EXPECT_EQ(typo.exitCode, 2);
    EXPECT_EQ(typo.errors, "r550ctl: 'dif' is not a command; did you mean 'diff'?\n");
    const RunningProgram::Result version = ctl({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    // The build names its commit (and a tree with changes against it), as git tells it now.
    std::smatch build;
    ASSERT_TRUE(std::regex_match(
        version.output, build,
        std::regex(R"(r550ctl [0-9.]+ \(([0-9a-f]{7}|commit not recorded)(, modified)?\)\n)")))
        << version.output;
    const RunningProgram::Result head = RunningProgram::run(
        {"/usr/bin/git", "-C", R550_SOURCE_DIR, "rev-parse", "--short=7", "HEAD"}, {});
    if (head.exitCode == 0) {
        EXPECT_EQ(build[1].str() + "\n", head.output);
    }
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"show"}, {"ports", "--bogus"}, {"version", "--pace", "fast", "-p", "1"}}) {
        const std::string errors = ctl(arguments).errors;
        EXPECT_TRUE(std::regex_match(errors, std::regex("r550ctl: [A-Z'-].*[.?]\n"))) << errors;
    }
}

// The built r550ctl against the reader simulator on a private ports folder (R550_PORTS_DIR) and
// a private adapter folder (R550_BY_ID_DIR).

#include "CtlFixture.h"
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

using CtlProgramTest = CtlFixture;

} // namespace

TEST_F(CtlProgramTest, PortsTellsWhatEachPortIsAndHowToMapAnAdapter) {
    const auto sim = startSimulator(3, {});
    ASSERT_TRUE(sim);
    // COM4: a port that another descriptor holds with the serial link's lock.
    ASSERT_TRUE(holdPort(4));
    // COM5 is missing; COM6 is a plain file.
    std::ofstream(ports / "com6") << "no port";
    // Two adapters: one that COM3 already leads to, one that nothing maps.
    PseudoTerminal adapterLine;
    ASSERT_TRUE(adapterLine.ready());
    std::filesystem::create_symlink(std::filesystem::canonical(ports / "com3"),
                                    byId / "usb-Mapped_Reader-if00-port0");
    std::filesystem::create_symlink(adapterLine.slavePath(), byId / "usb-New_Reader-if00-port0");

    const ChildProcess::Result json = ctl({"ports", "--json", "--port", adapterLine.slavePath()});
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
    const ChildProcess::Result table = ctl({"--quiet", "ports"});
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

    // A device path need not be UTF-8; the JSON line stays valid.
    const std::string latin1 = (folder.path() / "caf\xe9").string();
    const ChildProcess::Result odd = ctl({"--json", "ports", "--port", latin1});
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
    // A swipe is one burst unless the simulator is held up for 20 ms in its middle, as on a
    // machine loaded with other tests: then the card is swiped again, as an operator would.
    bool decoded = false;
    for (int swipe = 0; swipe < 3 && !decoded; ++swipe) {
        sim->signal(SIGUSR1);
        decoded = monitor->waitForOutput("passes", 2s);
    }
    ASSERT_TRUE(decoded) << monitor->output() << monitor->errors();
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
        const ChildProcess::Result result = ctl(arguments);
        EXPECT_EQ(result.exitCode, 2) << (arguments.empty() ? "" : arguments[0]);
        EXPECT_FALSE(result.errors.empty());
    }
    for (const std::string port : {"0", "256", "COMX", "com"}) {
        const ChildProcess::Result result = ctl({"monitor", "--port", port});
        EXPECT_EQ(result.exitCode, 2) << port;
        EXPECT_NE(result.errors.find("--port " + port + ": not a port"), std::string::npos)
            << result.errors;
    }
    // A port that names no device is a failed device command, not a usage error.
    const ChildProcess::Result missing = ctl({"monitor", "--port", "7"});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_NE(missing.errors.find("COM7: no device; looked for " + (ports / "com7").string()),
              std::string::npos)
        << missing.errors;

    const ChildProcess::Result help = ctl({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const std::string word : {"ports", "monitor", "--json", "--quiet", "130 interrupted"}) {
        EXPECT_NE(help.output.find(word), std::string::npos) << word;
    }
    const ChildProcess::Result monitorHelp = ctl({"monitor", "--help"});
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
    const ChildProcess::Result typo = ctl({"dif", "a.cfg", "b.cfg"});
    EXPECT_EQ(typo.exitCode, 2);
    EXPECT_EQ(typo.errors, "r550ctl: 'dif' is not a command; did you mean 'diff'?\n");
    const ChildProcess::Result version = ctl({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    // The build names its commit (and a tree with changes against it), as git tells it now.
    std::smatch build;
    ASSERT_TRUE(std::regex_match(
        version.output, build,
        std::regex(R"(r550ctl [0-9.]+ \(([0-9a-f]{7}|commit not recorded)(, modified)?\)\n)")))
        << version.output;
    const ChildProcess::Result head = ChildProcess::run(
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
